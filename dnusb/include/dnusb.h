// SPDX-License-Identifier: Apache-2.0
/* dnusb: the USB library of the Orvane tool.
 *
 * Finds the ZK32 USB device (a target chip attached directly, or an EVK probe that reaches
 * the target over the Vlane single-wire bus), opens it and carries every transfer as a
 * vendor request.  The library keeps no state between calls; handles belong to the caller.
 *
 * Names.  On Windows (i686) every export uses the stdcall convention; seven of them are
 * exported under their stdcall-decorated names (_ReadUSBMemCheck@24, _ReadUSBMemCheck2@24,
 * _WriteUSBMemCheck@24, _WriteUSBMemCheck2@24, _dn_read_byte@8, _dn_write_byte@12,
 * _dn_write_byte_a@12) and every other one under its plain name; each also has an ordinal
 * (dnusb.def).  The x86-64 Windows DLL has no stdcall decoration: it exports every function
 * under its base name, with the same ordinals.  On Linux and macOS each decorated name is
 * exported under its base name: the
 * leading underscore and the "@N" suffix dropped, so _ReadUSBMemCheck@24 is ReadUSBMemCheck
 * and _dn_read_byte@8 is dn_read_byte.  The C declarations below use the base names.
 *
 * Suffix 2.  Exports without a suffix use the short-address request layout (16-bit device
 * address), those with the suffix 2 the long-address layout (22-bit device address).
 *
 * Use.  Installed as <dnusb.h> with libdnusb.so.1: build with
 * "cc prog.c $(pkg-config --cflags --libs dnusb)", or in CMake find_package(dnusb) and link
 * dnusb::dnusb.  The manual page is dnusb(3); examples/ holds a C and a Python program.
 */
#ifndef DNUSB_H
#define DNUSB_H

#include <stdint.h>

#if defined(_WIN32) && !defined(_WIN64)
#define DNUSB_CALL __stdcall
#else
#define DNUSB_CALL
#endif

#if defined(_WIN32)
#define DNUSB_API
#else
#define DNUSB_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* A device handle: a 32-bit value, 0 for none.  Handles are never closed by the library and
 * stay valid until the process ends; there is no close call.  A handle of a simulated device
 * (zk32-sim) has DN_HANDLE_SIMULATED set, and a handle of a real device never has it.  A
 * handle from the device search has DN_HANDLE_PROBE set when the identity read showed an
 * EVK probe (device bytes 0x7e, 0x7f: 0x18, 0x08, the upper half of the probe id word), so a
 * caller that wants the chip itself can tell without a transfer of its own.  The other bits
 * are an index private to the library. */
typedef uint32_t dn_handle_t;
#define DN_HANDLE_SIMULATED 0x00010000u
#define DN_HANDLE_PROBE 0x00020000u

/* Common to the transfer calls below:
 *  - an unknown or 0 handle fails like a device that was unplugged: nothing is sent and the
 *    call returns its failure value;
 *  - one vendor request carries at most 4088 data bytes; larger counts are cut to that;
 *  - `fixed` (non-zero) sets the fixed-address flag: the device reads or writes every byte at
 *    the one address given (a FIFO register) instead of counting up;
 *  - `chunk_limit` caps the bytes of one request; a negative count or limit moves nothing;
 *  - a NULL data or destination pointer with something to move sends nothing and gives 0.
 * The calls are safe from several threads, but two threads using one handle at the same time
 * interleave their requests on the device. */

/* --- Device discovery --------------------------------------------------------------- */

/* Searches real USB devices first (vendor id 0x3a7e, printer class), then simulators
 * ($ZK32_SIM_DIR, else $XDG_RUNTIME_DIR/zk32-sim, else /tmp/zk32-sim-<uid>; and the TCP ports
 * listed in $ZK32_SIM_TCP).  Opens each device in turn and reads its identity word (device
 * bytes 0x7e..0x81, little-endian, in the short-address layout).  Returns the handle of the
 * first device whose identity word equals the low 16 bits of wanted_id (bytes 0x80 and 0x81
 * must be 0), or of the first device that opens when those bits are 0xffff (its identity
 * read may even fail).  A device opened and then rejected is closed again.  Returns 0 when
 * no device passes, including when a device is present but cannot be opened (permissions:
 * dnusb-list says why).  Every call opens a new handle.  With the environment variable DNUSB_DEVICE set to a
 * selector (a device's location, serial or simulator name, as dnusb-list prints them), only
 * the device answering to it is considered.  (ordinal 4) */
DNUSB_API dn_handle_t DNUSB_CALL GetPrintDeviceHandle(uint32_t wanted_id);
/* As GetPrintDeviceHandle; the identity read uses the long-address layout (chips of MCU
 * types 3 and 4 attached directly).  (ordinal 3) */
DNUSB_API dn_handle_t DNUSB_CALL GetPrintDeviceHandle2(uint32_t wanted_id);
/* Reads the probe id word (device bytes 0x7c..0x7f).  Returns 4 when its upper half is
 * 0x0818 (an EVK probe), 0 for a target chip attached directly or a failed read.  Changes
 * nothing on the device.  (ordinal 6) */
DNUSB_API int DNUSB_CALL IsEVKDevice(dn_handle_t handle);
/* As IsEVKDevice in the long-address layout.  (ordinal 5) */
DNUSB_API int DNUSB_CALL IsEVKDevice2(dn_handle_t handle);

/* --- Vendor-request transfers on the attached device ------------------------------------
 * Each export without the suffix 2 uses the short-address layout (16-bit device address),
 * each with the suffix the long-address layout (22-bit device address).  On an EVK probe these
 * reach the probe's own memory, not the target's: use ReadMem/WriteMem with mode 4 for that. */

/* One vendor write of n = min(count, chunk_limit) bytes from data to address.  Returns n,
 * or 0 when the transfer fails (nothing is retried).  A count of 0 still sends an empty
 * request.  (ordinals 19 / 18) */
DNUSB_API int DNUSB_CALL WriteUSBMem(dn_handle_t handle, int address, const unsigned char *data,
                                     int count, int fixed, int chunk_limit);
DNUSB_API int DNUSB_CALL WriteUSBMem2(dn_handle_t handle, int address, const unsigned char *data,
                                      int count, int fixed, int chunk_limit);
/* One vendor read of n = min(max(count, 1), chunk_limit) bytes into dest (which must hold n
 * bytes; dest[0] is sent in the request).  Returns n when exactly n bytes arrived, else 0;
 * the bytes that did arrive are in dest either way.  (ordinals 10 / 9) */
DNUSB_API int DNUSB_CALL ReadUSBMem(dn_handle_t handle, int address, unsigned char *dest,
                                    int count, int fixed, int chunk_limit);
DNUSB_API int DNUSB_CALL ReadUSBMem2(dn_handle_t handle, int address, unsigned char *dest,
                                     int count, int fixed, int chunk_limit);
/* Retrying read of n bytes as ReadUSBMem, with up to (n + 16) / 4 attempts; a partial reply
 * is kept and the rest asked for at the advanced address.  Returns count exactly as given
 * (not n) on success, 0 when the attempts run out; bytes received so far stay in dest.
 * Windows i686 names _ReadUSBMemCheck@24 (ordinal 12) and _ReadUSBMemCheck2@24 (11). */
DNUSB_API int DNUSB_CALL ReadUSBMemCheck(dn_handle_t handle, int address, unsigned char *dest,
                                         int count, int fixed, int chunk_limit);
DNUSB_API int DNUSB_CALL ReadUSBMemCheck2(dn_handle_t handle, int address, unsigned char *dest,
                                          int count, int fixed, int chunk_limit);
/* WriteUSBMem, then for counts above 8 a retrying read of the same bytes whose content is
 * not compared (it only paces the device).  Returns the write's result.
 * Windows i686 names _WriteUSBMemCheck@24 (ordinal 21) and _WriteUSBMemCheck2@24 (20). */
DNUSB_API int DNUSB_CALL WriteUSBMemCheck(dn_handle_t handle, int address,
                                          const unsigned char *data, int count, int fixed,
                                          int chunk_limit);
DNUSB_API int DNUSB_CALL WriteUSBMemCheck2(dn_handle_t handle, int address,
                                           const unsigned char *data, int count, int fixed,
                                           int chunk_limit);
/* Writes the low byte of value to one register.  Returns 1, or 0 when the transfer
 * fails.  (ordinals 23 / 22) */
DNUSB_API int DNUSB_CALL WriteUSBReg(dn_handle_t handle, int address, int value);
DNUSB_API int DNUSB_CALL WriteUSBReg2(dn_handle_t handle, int address, int value);
/* Reads one register byte and stores it zero-extended through result (if not NULL) - also
 * after a failure, when it is 0 or meaningless.  Returns 1, or 0 when the read
 * fails.  (ordinals 14 / 13) */
DNUSB_API int DNUSB_CALL ReadUSBReg(dn_handle_t handle, int address, uint32_t *result);
DNUSB_API int DNUSB_CALL ReadUSBReg2(dn_handle_t handle, int address, uint32_t *result);
/* Takes whatever the device has queued on its data-in stream (the chip's UART output) into
 * buffer, which must hold 2048 bytes.  Returns the count (0 when nothing is queued), or -1
 * when the read fails or buffer is NULL.  (ordinal 15) */
DNUSB_API int DNUSB_CALL ReadUartMem(dn_handle_t handle, unsigned char *buffer);

/* --- EVK command mailbox and routed target memory ------------------------------------ */

/* Runs one probe command: writes word0 and (code << 16 | count), low 16 bits of each, into
 * the mailbox at 0x9ff8, then polls the completion word at 0x9ff0 without pause for at most
 * 1000 ms.  Returns count when the completion word equals count (and stores the probe status
 * word from 0x9ff4 through result, if not NULL); 0 when the write fails, the probe reports a
 * failure (any of bits 31..28) or the time runs out.  `unused` is never read.  Meaningful
 * only on an EVK probe.  (ordinals 2 / 1) */
DNUSB_API int DNUSB_CALL EVKCommand(dn_handle_t handle, uint32_t word0, uint32_t count,
                                    uint32_t code, void *unused, uint32_t *result);
DNUSB_API int DNUSB_CALL EVKCommand2(dn_handle_t handle, uint32_t word0, uint32_t count,
                                     uint32_t code, void *unused, uint32_t *result);
/* Target memory access, in chunks.  mode: low four bits 4 = through an EVK probe (staging
 * buffer at probe address 0xa000 and the mailbox), anything else = the attached device
 * directly; bit 0x200 keeps every chunk on the one address (fixed-address flag).
 * WriteMem writes 1024-byte chunks (directly: each above 8 bytes with the read-back of
 * WriteUSBMemCheck) and stops at the first chunk that fails; returns the bytes written.
 * ReadMem reads 3072-byte chunks with the retrying read and goes on past a failed chunk,
 * which counts 0; returns the bytes read.  Both return 0 for count <= 0 or a NULL buffer.
 * WriteMem and ReadMem use the short-address layout and mask the address to 24 bits; the
 * suffix-2 twins use the long-address layout and take it unchanged.
 * (ordinals 17 / 16, 8 / 7) */
DNUSB_API int DNUSB_CALL WriteMem(dn_handle_t handle, uint32_t address, const unsigned char *data,
                                  int count, int mode);
DNUSB_API int DNUSB_CALL WriteMem2(dn_handle_t handle, uint32_t address,
                                   const unsigned char *data, int count, int mode);
DNUSB_API int DNUSB_CALL ReadMem(dn_handle_t handle, uint32_t address, unsigned char *dest,
                                 int count, int mode);
DNUSB_API int DNUSB_CALL ReadMem2(dn_handle_t handle, uint32_t address, unsigned char *dest,
                                  int count, int mode);

/* --- Flash and OTP byte primitives ------------------------------------------------------
 * For a chip attached directly (not through a probe), short-address layout.  Each is a fixed
 * sequence of one-byte register transfers (ReadMem/WriteMem, mode 1); none reports a failed
 * transfer, so a 0 return says nothing about success: read the data back to be sure. */

/* Reads one register byte.  Returns it (0..255); 0 when the read fails.
 * Windows i686 name _dn_read_byte@8 (ordinal 29). */
DNUSB_API int DNUSB_CALL dn_read_byte(dn_handle_t handle, int address);
/* Writes the low byte of value to one register.  Returns 0.
 * Windows i686 name _dn_write_byte@12 (ordinal 30). */
DNUSB_API int DNUSB_CALL dn_write_byte(dn_handle_t handle, int address, int value);
/* Writes the low byte of value to an analog register through the window at 0xb8..0xba, in
 * one request; does not wait for the busy bit.  Returns 0.
 * Windows i686 name _dn_write_byte_a@12 (ordinal 31). */
DNUSB_API int DNUSB_CALL dn_write_byte_a(dn_handle_t handle, int analog_register, int value);
/* Erases the 4 KB flash sector holding address (bits above 23 are not sent).  Holds the core
 * (reset request in register 0x602) and leaves it held; waits 100 ms instead of reading the
 * flash status.  Returns 0.  (ordinal 24) */
DNUSB_API int DNUSB_CALL dn_flash_erase(dn_handle_t handle, uint32_t address);
/* Reads count bytes of flash from address into dest (nothing is stored when dest is NULL).
 * Holds the core and leaves it held: reset or run it afterwards to let the firmware go on.
 * Waits 10 ms at the end.  Returns 0; a failed byte reads as 0.  (ordinal 25) */
DNUSB_API int DNUSB_CALL dn_flash_read(dn_handle_t handle, uint32_t address, unsigned char *dest,
                                       int count);
/* Programs count bytes from data at address with one page-program command: the bytes must lie
 * within one 256-byte page of an erased sector (programming only clears bits; nothing here
 * splits a longer write).  Holds the core and leaves it held; waits 10 ms.  Returns 0.
 * (ordinal 26) */
DNUSB_API int DNUSB_CALL dn_flash_write(dn_handle_t handle, uint32_t address,
                                        const unsigned char *data, int count);
/* Reads one OTP byte.  Returns it (0..255); 0 when the reads fail.  (ordinal 27) */
DNUSB_API int DNUSB_CALL dn_otp_read(dn_handle_t handle, int address);
/* Programs one OTP byte (bits only go from 0 to 1 and never back: the result is the old
 * byte OR value).  Holds the core and leaves it held; waits 10 ms.  Returns 0.
 * (ordinal 28) */
DNUSB_API int DNUSB_CALL dn_otp_write(dn_handle_t handle, int address, int value);

#ifdef __cplusplus
}
#endif

#endif /* DNUSB_H */
