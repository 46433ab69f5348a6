// The request -> USB control transfer mapping shared by the ports and the simulator.
#include <gtest/gtest.h>
#include <string.h>

#include "wire/control_transfer.h"

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

}  // namespace
