// SPDX-License-Identifier: Apache-2.0
// A ZK32 target chip: register space below the SRAM base, SRAM at the base, and the
// peripherals the chip routes its register addresses to.  Reached directly over USB ("usb"
// mode) or by the EVK probe over Vlane ("evk" mode); both see the same chip.
#ifndef ZK32SIM_TARGET_CHIP_H
#define ZK32SIM_TARGET_CHIP_H

#include <cstddef>
#include <cstdint>
#include <memory>

#include "sim/bus.h"
#include "sim/clock.h"
#include "sim/settings.h"
#include "sim/trace_log.h"

namespace zk32sim {

class NorFlash;
class ChipRegisters;
class Core;
class FlashWriter;
class AnalogWindow;
class SpiFlashPort;
class OtpArray;
class UartPort;

struct ChipContext {
  Settings &settings;
  Faults &faults;
  TraceLog &trace;
  const Clock &clock;
};

class TargetChip {
 public:
  TargetChip(int mcu_type, uint32_t flash_size, ChipContext context);
  ~TargetChip();

  int mcu_type() const { return mcu_type_; }
  uint32_t sram_base() const { return sram_base_; }
  uint32_t sram_size() const { return sram_size_; }

  // Byte transfers as a vendor request or a Vlane access delivers them: consecutive addresses
  // from `address`, or all on `address` when fixed.
  void write(uint32_t address, const uint8_t *data, size_t n, bool fixed);
  void read(uint32_t address, uint8_t *out, size_t n, bool fixed);
  // Side-effect-free access from the control language.
  uint8_t peek(uint32_t address);
  void poke(uint32_t address, uint8_t value);

  // Brings time-based behaviour (flash writer, running core) up to the present.
  void advance();

  // The EVK probe completed an activation step with this chip.
  void set_activated(bool on);

  NorFlash &flash() { return *flash_; }
  Core &core() { return *core_; }
  AnalogWindow &analog() { return *analog_; }
  OtpArray &otp() { return *otp_; }
  UartPort &uart() { return *uart_; }
  Bus &bus() { return bus_; }
  ChipContext &context() { return context_; }

 private:
  int mcu_type_;
  uint32_t sram_base_;
  uint32_t sram_size_;
  ChipContext context_;
  Bus bus_;
  std::unique_ptr<NorFlash> flash_;
  std::unique_ptr<ChipRegisters> registers_;
  std::unique_ptr<Core> core_;
  std::unique_ptr<FlashWriter> writer_;
  std::unique_ptr<AnalogWindow> analog_;
  std::unique_ptr<SpiFlashPort> spi_;
  std::unique_ptr<OtpArray> otp_;
  std::unique_ptr<UartPort> uart_;
};

}  // namespace zk32sim

#endif
