#include "Trace.h"

int main()
{
    TraceInit();
    Trace("Pemmet's Dustrun");
    TraceClose();
    return 0;
}
