#pragma once

// The setters of view-model properties store and announce only a change.
template<typename Owner, typename T, typename Arg>
void changeProperty(Owner* owner, T& stored, const T& value, void (Owner::*changed)(Arg))
{
    if (stored == value)
        return;
    stored = value;
    emit(owner->*changed)(value);
}
