#include "capi.h"

// Placeholder until the filter store lands: no filters, no selection.
void CApi::InitFilters()
{
}
