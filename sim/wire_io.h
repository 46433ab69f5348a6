// Frames of the port <-> simulator conversation (wire/sim_wire.h): a kind byte, a 32-bit
// little-endian payload length, the payload.
#ifndef ZK32SIM_WIRE_IO_H
#define ZK32SIM_WIRE_IO_H

#include <cstdint>
#include <string>

namespace zk32sim {

bool write_all(int fd, const void *data, size_t n);
bool read_all(int fd, void *data, size_t n);
bool send_frame(int fd, uint8_t kind, const void *payload, size_t n);
// False on end of stream, a read error or an oversized payload.
bool receive_frame(int fd, uint8_t *kind, std::string *payload);

}  // namespace zk32sim

#endif
