#include "win/views/ShownNumbers.h"

ShownNumbers& shownNumbers()
{
    static ShownNumbers numbers;
    return numbers;
}
