// SPDX-License-Identifier: Apache-2.0
// The USB trace (DNUSB_TRACE): what each request leaves in the capture, appending, and a
// trace that cannot be written.
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "fake_port.h"
#include "usb_trace.h"
#include "wire/usbmon_pcap.h"

namespace {

using fake::Bytes;
using fake::to_hex;

struct Record {
  char type;
  uint8_t xfer_type, endpoint;
  std::string setup;  // hex, submits of control transfers only
  int32_t status;
  uint32_t length;
  std::string data;   // hex
};

class UsbTrace : public fake::PortTest {
 protected:
  void SetUp() override {
    fake::PortTest::SetUp();
    char dir[] = "/tmp/dnusb-trace-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(dir));
    dir_ = dir;
    path_ = dir_ + "/trace.pcap";
    handle_ = open_device();  // the search before tracing starts
    setenv("DNUSB_TRACE", path_.c_str(), 1);
    dn_trace_reset();
  }
  void TearDown() override {
    unsetenv("DNUSB_TRACE");
    dn_trace_reset();
    unlink(path_.c_str());
    rmdir(dir_.c_str());
    fake::PortTest::TearDown();
  }
  Bytes file() {
    Bytes bytes;
    FILE *f = fopen(path_.c_str(), "rb");
    if (!f) return bytes;
    int c;
    while ((c = fgetc(f)) != EOF) bytes.push_back(static_cast<unsigned char>(c));
    fclose(f);
    return bytes;
  }
  std::vector<Record> records() {
    Bytes bytes = file();
    std::vector<Record> out;
    uint32_t link = 0;
    EXPECT_TRUE(dn_pcap_get_file_header(bytes.data(), bytes.size(), &link));
    EXPECT_EQ(kDnLinkUsbLinuxMmapped, link);
    size_t at = kDnPcapFileHeaderSize;
    while (at < bytes.size()) {
      dn_usbmon_event e;
      size_t used = dn_usbmon_get(bytes.data() + at, bytes.size() - at, link, &e);
      if (used == 0) {
        ADD_FAILURE() << "record cut short at " << at;
        break;
      }
      at += used;
      out.push_back(Record{e.type, e.xfer_type, e.endpoint,
                           e.has_setup ? to_hex(Bytes(e.setup, e.setup + 8)) : "", e.status,
                           e.length, to_hex(Bytes(e.data, e.data + e.data_length))});
    }
    return out;
  }
  std::string dir_, path_;
  dn_handle_t handle_ = 0;
};

// Every kind of request, answered and failed, as the capture shows it: submit then complete.
TEST_F(UsbTrace, EachRequestIsASubmitAndItsCompletion) {
  unsigned char b[4] = {0x05};
  fake().memory[0x10] = 0x15;
  fake().memory[0x11] = 0x47;
  ASSERT_EQ(1, WriteUSBMem(handle_, 0x602, b, 1, 0, 1024));
  ASSERT_EQ(2, ReadUSBMem(handle_, 0x10, b, 2, 0, 1024));
  fake().on_write = [](const fake::Request &) { return false; };
  b[0] = 0x05;
  EXPECT_EQ(0, WriteUSBMem2(handle_, 0x40004, b, 1, 1, 1024));
  EXPECT_EQ(-1, ReadUartMem(handle_, b));

  const Record want[] = {
      {'S', 2, 0x00, "4102020600000900", -115, 9, "020602050505050505"},
      {'C', 2, 0x00, "", 0, 9, ""},
      {'S', 2, 0x80, "c102100000000a00", -115, 10, ""},
      {'C', 2, 0x80, "", 0, 2, "1547"},
      {'S', 2, 0x00, "41c4000400000900", -115, 9, "c40400050505050505"},
      {'C', 2, 0x00, "", -32, 0, ""},
      {'S', 3, 0x81, "", -115, 2048, ""},
      {'C', 3, 0x81, "", -32, 0, ""},
  };
  std::vector<Record> got = records();
  ASSERT_EQ(sizeof want / sizeof want[0], got.size());
  for (size_t i = 0; i < got.size(); ++i) {
    SCOPED_TRACE("record " + std::to_string(i));
    EXPECT_EQ(want[i].type, got[i].type);
    EXPECT_EQ(want[i].xfer_type, got[i].xfer_type);
    EXPECT_EQ(want[i].endpoint, got[i].endpoint);
    EXPECT_EQ(want[i].setup, got[i].setup);
    EXPECT_EQ(want[i].status, got[i].status);
    EXPECT_EQ(want[i].length, got[i].length);
    EXPECT_EQ(want[i].data, got[i].data);
  }
}

// A second run appends to the capture of the first: one file header, both runs' records.
TEST_F(UsbTrace, LaterRunsAppendToTheCapture) {
  unsigned char b = 1;
  WriteUSBMem(handle_, 0x10, &b, 1, 0, 1024);
  dn_trace_reset();
  WriteUSBMem(handle_, 0x11, &b, 1, 0, 1024);
  std::vector<Record> got = records();
  ASSERT_EQ(4u, got.size());
  EXPECT_EQ("4102100000000900", got[0].setup);
  EXPECT_EQ("4102110000000900", got[2].setup);
}

// A trace that cannot be written says so once on standard error, at once; the requests go
// on, and a file that is not a capture of the kind written here is left as it was.
TEST_F(UsbTrace, UnwritableTraceIsReportedOnceAndRequestsGoOn) {
  unsigned char other_link[kDnPcapFileHeaderSize];
  dn_pcap_put_file_header(other_link);
  other_link[20] = kDnLinkUsbLinux;  // a capture with the 48-byte headers
  const std::string kept[][2] = {
      {path_, "not a capture\n"},
      {dir_ + "/other.pcap", std::string(reinterpret_cast<char *>(other_link), sizeof other_link)},
  };
  for (const auto &entry : kept) {
    FILE *f = fopen(entry[0].c_str(), "wb");
    ASSERT_NE(nullptr, f);
    fwrite(entry[1].data(), 1, entry[1].size(), f);
    fclose(f);
  }
  const std::string fifo = dir_ + "/fifo";
  ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
  for (const std::string &target : {dir_ + "/missing/trace.pcap", kept[0][0], kept[1][0], fifo}) {
    SCOPED_TRACE(target);
    setenv("DNUSB_TRACE", target.c_str(), 1);
    dn_trace_reset();
    unsigned char b = 1;
    testing::internal::CaptureStderr();
    EXPECT_EQ(1, WriteUSBMem(handle_, 0x10, &b, 1, 0, 1024));
    EXPECT_EQ(1, ReadUSBMem(handle_, 0x10, &b, 1, 0, 1024));
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(0u, err.find("dnusb: no USB trace in " + target)) << err;
    EXPECT_EQ(err.find('\n'), err.size() - 1) << err;
  }
  for (const auto &entry : kept) {
    path_ = entry[0];
    Bytes left = file();
    EXPECT_EQ(entry[1], std::string(left.begin(), left.end())) << entry[0];
    unlink(entry[0].c_str());
  }
  unlink(fifo.c_str());
}

// Each record says why its data is absent: '<' for an IN transfer's submit (the data is
// still to come), '>' for an OUT transfer's completion (the data went with the submit).
TEST(UsbmonRecord, DataAbsentFlagNamesTheDirection) {
  const struct {
    char type;
    uint8_t endpoint;
    uint32_t data_length;
    unsigned char flag;
  } cases[] = {{'S', 0x80, 0, '<'}, {'C', 0x00, 0, '>'}, {'C', 0x80, 2, 0}, {'S', 0x00, 2, 0}};
  for (const auto &c : cases) {
    dn_usbmon_event e{};
    e.type = c.type;
    e.endpoint = c.endpoint;
    const unsigned char data[2] = {1, 2};
    e.data = data;
    e.data_length = c.data_length;
    unsigned char record[256];
    ASSERT_NE(0u, dn_usbmon_put(e, record, sizeof record));
    EXPECT_EQ(c.flag, record[kDnPcapRecordHeaderSize + 15]) << c.type << int(c.endpoint);
  }
}

// A record whose captured bytes run past what the file holds is refused, however little is
// missing.
TEST(UsbmonRecord, RecordCutShortIsRefused) {
  dn_usbmon_event e{};
  e.type = 'C';
  e.endpoint = 0x80;
  const unsigned char data[20] = {};
  e.data = data;
  e.data_length = sizeof data;
  unsigned char record[256];
  size_t size = dn_usbmon_put(e, record, sizeof record);
  dn_usbmon_event back{};
  EXPECT_EQ(size, dn_usbmon_get(record, size, kDnLinkUsbLinuxMmapped, &back));
  for (size_t cut : {1, 8, 15, 16, 20}) {
    EXPECT_EQ(0u, dn_usbmon_get(record, size - cut, kDnLinkUsbLinuxMmapped, &back)) << cut;
  }
}

}  // namespace
