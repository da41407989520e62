#include "busy_cursor.h"

int BusyCursor::depth_ = 0;

BusyCursor::BusyCursor() : previous_(SetCursor(Hourglass()))
{
    ++depth_;
}

BusyCursor::~BusyCursor()
{
    --depth_;
    SetCursor(previous_ != nullptr ? previous_ : LoadCursorW(nullptr, IDC_ARROW));
}
