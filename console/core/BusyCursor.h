#pragma once

// The busy (wait) pointer for as long as the object lives, where the program has a GUI. Nested
// uses stack: each restores what it set.
class BusyCursor
{
public:
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;

private:
    bool m_on = false;
};
