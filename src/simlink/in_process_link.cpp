#include "simlink/in_process_link.h"

#include "ipc/link.h"
#include "simlink/hot_keys.h"
#include "simlink/sim_connection.h"

uint32_t ConnectInProcess(InProcessTransport& server) {
  ReportCurrentVersions(server.space);
  SetIpcTransport(&server);
  if (FsuipcLock == nullptr) InitSimulatorLink();
  return FSUIPCConnect(InstallTabKeyOnConnect);
}
