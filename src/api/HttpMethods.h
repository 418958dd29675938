#pragma once

#include <QString>

// Method names for the request core. Kept out of co_await expressions as literals: g++ 12
// rejects string literals inside temporaries of a co_await operand ("array used as
// initializer").
inline const QString kGet = QStringLiteral("GET");
inline const QString kPost = QStringLiteral("POST");
inline const QString kPut = QStringLiteral("PUT");
inline const QString kPatch = QStringLiteral("PATCH");
inline const QString kDelete = QStringLiteral("DELETE");
