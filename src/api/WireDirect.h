#pragma once

#include "api/WireTypes.h"

#include <QByteArrayView>
#include <QList>

#include <optional>

class JsonCursor;

// Wire values of the plain common form read straight from the bytes, without a JSON document.
// Whatever such a reader is not sure of (a member it cannot tell from another, a value of an
// unusual form, any fault) it leaves to the general decoder by answering false or nothing, so
// both always agree where the direct reader answers.

// A message object at the cursor; false when the general decoder has to read it.
bool readDirect(JsonCursor &in, APIMessage &out);

// A one-member envelope {"name": [ ... ]} filling the whole text, as a list of T; nothing
// when the general decoder has to read it. T is APIConversation, APIMessage or SyncRoom.
template<typename T>
std::optional<QList<T>> readDirectPage(QByteArrayView bytes, QByteArrayView name);
