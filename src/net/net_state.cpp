#include "net/net_state.h"

NetStateRecord NetState;
