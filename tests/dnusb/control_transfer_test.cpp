// SPDX-License-Identifier: Apache-2.0
// The wire formats shared by the ports and the simulator: the request -> USB control transfer
// mapping and the simulator socket's frame header.
#include <gtest/gtest.h>
#include <string.h>

#include "wire/control_transfer.h"
#include "wire/sim_wire.h"

namespace {

TEST(ControlTransfer, VendorWriteCarriesWholeRequestAsDataStage) {
  const unsigned char request[11] = {0x02, 0x06, 0x02, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x22, 0x33};
  dn_setup_packet setup;
  ASSERT_TRUE(dn_vendor_write_setup(request, 11, 1, 2, &setup));
  unsigned char wire[8];
  dn_setup_encode(setup, wire);
  const unsigned char expected[8] = {0x41, 0x02, 0x02, 0x06, 0x02, 0x01, 0x0b, 0x00};
  EXPECT_EQ(memcmp(wire, expected, 8), 0);
  EXPECT_FALSE(dn_setup_is_in(setup));
}

TEST(ControlTransfer, VendorReadOffersOutputSize) {
  const unsigned char header[16] = {0xc4, 0x04, 0x00};
  dn_setup_packet setup;
  ASSERT_TRUE(dn_vendor_read_setup(header, 16, 3080, 0, 0, &setup));
  unsigned char wire[8];
  dn_setup_encode(setup, wire);
  const unsigned char expected[8] = {0xc1, 0xc4, 0x00, 0x04, 0x00, 0x00, 0x08, 0x0c};
  EXPECT_EQ(memcmp(wire, expected, 8), 0);
  dn_setup_packet back = dn_setup_decode(wire);
  EXPECT_TRUE(dn_setup_is_in(back));
  EXPECT_EQ(back.request, 0xc4);
  EXPECT_EQ(back.value, 0x0400);
  EXPECT_EQ(back.length, 3080);
}

TEST(ControlTransfer, RefusesWhatOneTransferCannotCarry) {
  const unsigned char header[16] = {};
  dn_setup_packet setup;
  EXPECT_FALSE(dn_vendor_write_setup(header, 2, 0, 0, &setup));
  EXPECT_FALSE(dn_vendor_write_setup(header, 0x10000, 0, 0, &setup));
  EXPECT_FALSE(dn_vendor_read_setup(header, 16, 0x10000, 0, 0, &setup));
  EXPECT_FALSE(dn_vendor_read_setup(nullptr, 16, 8, 0, 0, &setup));
}

// A peer that announces more than a frame may carry is not believed (the reader would
// otherwise allocate what the peer asks); the length is little-endian.
TEST(SimFrameHeader, LengthIsLittleEndianAndCapped) {
  const struct {
    uint32_t length;
    bool accepted;
  } cases[] = {{0, true}, {0x00a1b2c3, true}, {simwire::kMaxPayload, true},
               {simwire::kMaxPayload + 1, false}, {0xffffffffu, false}};
  for (const auto &c : cases) {
    unsigned char header[simwire::kFrameHeaderSize];
    simwire::put_frame_header(header, simwire::kControl, c.length);
    EXPECT_EQ(header[0], 'S');
    EXPECT_EQ(header[1], c.length & 0xff);
    EXPECT_EQ(header[3], (c.length >> 16) & 0xff);
    EXPECT_EQ(header[4], c.length >> 24);
    uint8_t kind = 0;
    uint32_t length = 0;
    EXPECT_EQ(simwire::get_frame_header(header, &kind, &length), c.accepted) << c.length;
    if (c.accepted) {
      EXPECT_EQ(length, c.length);
    }
  }
}

}  // namespace
