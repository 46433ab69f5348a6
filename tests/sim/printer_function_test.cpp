// SPDX-License-Identifier: Apache-2.0
// The printer function a guest kernel meets: what usblp and libusb read from it, and that it
// never takes a vendor request away from the chip.
#include "sim/printer_function.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using zk32sim::SetupPacket;

const zk32sim::DeviceIdentity kDevice{0x3a7e, 0x5a32, "ZK-7"};

std::vector<uint8_t> ask(uint8_t type, uint8_t request, uint16_t value, uint16_t index,
                         uint16_t length, int *result) {
  SetupPacket s{type, request, value, index, length};
  std::vector<uint8_t> out(length < 255 ? 255 : length, 0xee);
  *result = zk32sim::is_printer_function_request(s)
                ? zk32sim::printer_function_request(s, kDevice, out.data())
                : -2;
  out.resize(*result > 0 ? size_t(*result) : 0);
  return out;
}

TEST(PrinterFunction, DeviceIdCarriesItsOwnLengthAndIsCutToWLength) {
  int n;
  // usblp asks with wLength 1023: the whole id, its big-endian length covering itself.
  std::vector<uint8_t> id = ask(0xA1, 0, 0, 0, 1023, &n);
  ASSERT_GT(n, 2);
  EXPECT_EQ(id[0] << 8 | id[1], n);
  std::string text(id.begin() + 2, id.end());
  EXPECT_NE(text.find("CLS:PRINTER;"), std::string::npos);
  EXPECT_NE(text.find("SN:ZK-7;"), std::string::npos);
  EXPECT_EQ(ask(0xA1, 0, 0, 0, 2, &n).size(), 2u);  // a host reading the length first
  // wIndex: the interface in the high byte, the alternate setting in the low one.
  EXPECT_EQ(ask(0xA1, 0, 0, 0x0001, 1023, &n).size(), id.size());
  ask(0xA1, 0, 0, 0x0100, 1023, &n);
  EXPECT_EQ(n, -1);  // interface 1: there is none
}

TEST(PrinterFunction, ConfigurationIsOnePrinterInterfaceWithBulkInAndOut) {
  int n;
  std::vector<uint8_t> d = ask(0x80, 6, 0x0200, 0, 255, &n);
  ASSERT_EQ(n, 32);
  EXPECT_EQ(d[2] | d[3] << 8, 32);  // wTotalLength
  EXPECT_EQ(d[9 + 5], 7);           // bInterfaceClass: printer
  EXPECT_EQ(d[9 + 7], 2);           // bidirectional
  EXPECT_EQ(d[18 + 2], 0x01);
  EXPECT_EQ(d[25 + 2], 0x81);
  EXPECT_EQ(ask(0x80, 6, 0x0200, 0, 9, &n).size(), 9u);  // the header alone, as hosts read it first
}

TEST(PrinterFunction, ClassAndStandardRequestsAnswerAndVendorRequestsPassBy) {
  struct Case {
    uint8_t type, request;
    uint16_t length;
    int result;  // -2: not this file's request
  } cases[] = {
      {0xA1, 1, 1, 1},    // GET_PORT_STATUS
      {0x21, 2, 0, 0},    // SOFT_RESET
      {0x02, 1, 0, 0},    // CLEAR_FEATURE(ENDPOINT_HALT)
      {0x80, 0, 2, 2},    // GET_STATUS
      {0xA1, 9, 8, -1},   // an unknown class request stalls
      {0x41, 2, 12, -2},  // vendor write: the chip's
      {0xC1, 2, 12, -2},  // vendor read: the chip's
      {0x80, 6, 18, -2},  // the device descriptor: usb_descriptors'
  };
  for (const Case &c : cases) {
    int n;
    ask(c.type, c.request, c.type == 0x80 && c.request == 6 ? 0x0100 : 0, 0, c.length, &n);
    EXPECT_EQ(n, c.result) << int(c.type) << "/" << int(c.request);
  }
}

}  // namespace
