#include "host/host_table.h"
