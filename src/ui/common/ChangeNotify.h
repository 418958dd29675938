#pragma once

// Sets `field` to `value` when the value is new, and says whether it was.
template<typename T>
bool assignChanged(T &field, const T &value)
{
    if (field == value)
        return false;
    field = value;
    return true;
}

// Sets `field` to `value` and then emits `owner`'s `changed`, only when the value is new: the
// setter of a state object whose signals mean a real change.
template<typename Owner, typename T>
void assignNotifying(Owner *owner, T &field, const T &value, void (Owner::*changed)())
{
    if (assignChanged(field, value))
        emit(owner->*changed)();
}
