#pragma once

// Sets `field` to `value` and then emits `owner`'s `changed`, only when the value is new: the
// setter of a state object whose signals mean a real change.
template<typename Owner, typename T>
void assignNotifying(Owner *owner, T &field, const T &value, void (Owner::*changed)())
{
    if (field == value)
        return;
    field = value;
    emit(owner->*changed)();
}
