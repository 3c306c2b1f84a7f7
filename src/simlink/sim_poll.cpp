#include "simlink/sim_poll.h"

#include "net/msg_header.h"
#include "net/syslog.h"
#include "process/print.h"
#include "simlink/sim_connection.h"

void SimNotResponding() {
  if (!SimConnected) return;
  FSUIPCClose();
  Print("Simulator disconnected\n");
  SendSysLog(NodeId, 2, "Sim Not Responding.");
}
