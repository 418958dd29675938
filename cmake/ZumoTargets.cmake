# zumo_add_library(<name> <sources...>)
#   A static library of the program, compiled with the shared precompiled Qt headers.
# zumo_use_pch(<target>)
#   The shared precompiled Qt headers for a target made otherwise (a program's executable).
#   zumo_add_library and zumo_add_test call it themselves.
#
# Nearly every file includes the same Qt and QCoro headers, and parsing them costs one to two
# seconds of CPU per file. One small target, zumo_pch, precompiles them once and every other
# target reuses that precompiled header.
#
# GCC takes a precompiled header only when each macro defined on the command line when it was
# made is defined alike where it is used (otherwise -Winvalid-pch says why and the headers are
# parsed as usual). So zumo_pch has the include folders of the libraries below but none of
# their QT_<MODULE>_LIB definitions, only QT_CORE_LIB, which every target here has. QtTest
# stays out: Qt gives each test folder its own QT_TESTCASE_BUILDDIR, and QtTest reads it.
# clang (the fuzz build) is stricter about differing macros and is left without.
# <QApplication> and <QGuiApplication> stay out as well: they redefine qApp, and a target
# without Qt Widgets would then find QApplication's type information wanted at link time.
option(ZUMO_PCH "Precompile the Qt headers once for every target (GCC only)" ON)

if(ZUMO_PCH AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    set(zumo_pch_libs Qt6::Gui Qt6::Widgets Qt6::Network QCoro6::Core)
    file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/zumo_pch.cpp
        CONTENT "// The donor of the shared precompiled headers.\n")
    add_library(zumo_pch STATIC ${CMAKE_BINARY_DIR}/zumo_pch.cpp)
    set_target_properties(zumo_pch PROPERTIES AUTOMOC OFF AUTORCC OFF)
    target_link_libraries(zumo_pch PRIVATE Qt6::Core)
    foreach(lib ${zumo_pch_libs})
        target_include_directories(zumo_pch SYSTEM PRIVATE
            $<TARGET_PROPERTY:${lib},INTERFACE_INCLUDE_DIRECTORIES>)
    endforeach()
    target_precompile_headers(zumo_pch PRIVATE
        <algorithm> <chrono> <functional> <memory> <optional>
        <QByteArray> <QCoreApplication> <QDateTime> <QDir> <QFile> <QHash> <QJsonArray>
        <QJsonDocument> <QJsonObject> <QJsonValue> <QList> <QObject> <QPointer>
        <QRegularExpression> <QSet> <QSettings> <QStandardPaths> <QString> <QStringList>
        <QTimer> <QUrl> <QUuid> <QVariant>
        <QColor> <QFont> <QFontMetrics> <QImage> <QPainter> <QPixmap>
        <QBoxLayout> <QLabel> <QLineEdit> <QPushButton> <QWidget>
        <QNetworkAccessManager> <QNetworkReply> <QNetworkRequest>
        <QCoroTask>)
    set(ZUMO_PCH_TARGET zumo_pch)
endif()

function(zumo_use_pch target)
    if(ZUMO_PCH_TARGET)
        target_precompile_headers(${target} REUSE_FROM ${ZUMO_PCH_TARGET})
    endif()
endfunction()

function(zumo_add_library name)
    add_library(${name} STATIC ${ARGN})
    zumo_use_pch(${name})
endfunction()
