#include "ui/panels/DeleteAccount.h"

#include "store/LocalStore.h"
#include "ui/common/PanelParts.h"

#include <QBoxLayout>
#include <QLabel>
#include <QLineEdit>

DeleteAccount::DeleteAccount(LocalStore &store, QWidget *parent)
    : PageBase(QStringLiteral("deleteAccountPage"), parent)
{
    QVBoxLayout *column = formColumn(16);
    QWidget *holder = column->parentWidget();

    column->addWidget(formTitle(QStringLiteral("계정 삭제"), holder));
    for (const QString &line : {QStringLiteral("프로필과 대화 참여 정보가 삭제됩니다."),
                                QStringLiteral("상대에게는 이름이 \"알 수 없음\"으로 보입니다."),
                                QStringLiteral("아이디는 30일 동안 다시 사용할 수 없습니다.")}) {
        column->addWidget(PanelParts::label(line, QString(), QFont(), holder,
                                            PanelParts::Ink::Normal, PanelParts::Wrap::Yes));
    }

    QLineEdit *phrase = PanelParts::textField(confirmationWord(), QStringLiteral("phrase"), holder);
    phrase->setMinimumHeight(34);
    column->addWidget(phrase);

    WideButton *remove
        = PanelParts::wideButton(QStringLiteral("계정 삭제"), QStringLiteral("delete"), holder,
                                 WideButton::Role::Destructive);
    remove->setDisabled(true);
    column->addWidget(remove);

    addCloseRow(column);
    closeOnEscape();

    // The whole text must be the word: a blank before or after it does not count.
    connect(phrase, &QLineEdit::textChanged, remove,
            [remove](const QString &text) { remove->setDisabled(text != confirmationWord()); });
    connect(remove, &WideButton::clicked, this, [remove, &store] {
        remove->setBusy(true);
        store.deleteAccount();
    });
    PanelParts::focusWhenShown(this, phrase);
}
