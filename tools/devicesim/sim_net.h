// The simulator on a real Linux interface: the device ports bound once for all devices (the
// source address of each reply chosen per datagram with IP_PKTINFO), a packet socket for the
// raw discovery frames, one epoll loop, and the control channel on stdin or a UNIX socket.
#pragma once

#include "tools/devicesim/sim_options.h"

namespace pontiq::sim {

// Runs until "quit", end of stdin (with --stdin), SIGINT or SIGTERM. The process exit code.
int RunOnInterface(const SimOptions& options);

}  // namespace pontiq::sim
