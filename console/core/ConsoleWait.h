#pragma once

// Waits that keep the console's window alive: pending events run while the time passes.
void WaitWithEvents(int ms);
