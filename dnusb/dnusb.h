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

/* A device handle: a 32-bit value, 0 for none. */
typedef uint32_t dn_handle_t;

/* --- Device discovery and handles --------------------------------------------------- */

/* Opens the first device whose identity word (device bytes 0x7e..0x81, little-endian)
 * equals the low 16 bits of wanted_id, or any device when those bits are 0xffff.
 * Returns the handle, or 0 when no device passes.  With the environment variable
 * DNUSB_DEVICE set to a selector (a device's location, serial or simulator name, as
 * dnusb-list prints them), only the device answering to it is considered.  (ordinal 4) */
DNUSB_API dn_handle_t DNUSB_CALL GetPrintDeviceHandle(uint32_t wanted_id);
/* As GetPrintDeviceHandle; the identity probe uses the long-address layout.  (ordinal 3) */
DNUSB_API dn_handle_t DNUSB_CALL GetPrintDeviceHandle2(uint32_t wanted_id);
/* 4 when the device is an EVK probe (probe id word 0x0818xxxx at 0x7c), else 0.  (6) */
DNUSB_API int DNUSB_CALL IsEVKDevice(dn_handle_t handle);
/* As IsEVKDevice in the long-address layout.  (ordinal 5) */
DNUSB_API int DNUSB_CALL IsEVKDevice2(dn_handle_t handle);

/* --- Vendor-request transfers ------------------------------------------------------- */

/* Plain write of min(count, chunk_limit) bytes; returns that number, or 0.  (19 / 18) */
DNUSB_API int DNUSB_CALL WriteUSBMem(dn_handle_t handle, int address, const unsigned char *data,
                                     int count, int fixed, int chunk_limit);
DNUSB_API int DNUSB_CALL WriteUSBMem2(dn_handle_t handle, int address, const unsigned char *data,
                                      int count, int fixed, int chunk_limit);
/* Plain read of min(max(count, 1), chunk_limit) bytes; returns that number, or 0.  (10 / 9) */
DNUSB_API int DNUSB_CALL ReadUSBMem(dn_handle_t handle, int address, unsigned char *dest,
                                    int count, int fixed, int chunk_limit);
DNUSB_API int DNUSB_CALL ReadUSBMem2(dn_handle_t handle, int address, unsigned char *dest,
                                     int count, int fixed, int chunk_limit);
/* Retrying read: (n + 16) / 4 attempts, resuming after partial replies; returns count or 0.
 * Windows i686 names _ReadUSBMemCheck@24 (12) and _ReadUSBMemCheck2@24 (11). */
DNUSB_API int DNUSB_CALL ReadUSBMemCheck(dn_handle_t handle, int address, unsigned char *dest,
                                         int count, int fixed, int chunk_limit);
DNUSB_API int DNUSB_CALL ReadUSBMemCheck2(dn_handle_t handle, int address, unsigned char *dest,
                                          int count, int fixed, int chunk_limit);
/* Plain write, then (above 8 bytes) a retrying read-back; returns the write's result.
 * Windows i686 names _WriteUSBMemCheck@24 (21) and _WriteUSBMemCheck2@24 (20). */
DNUSB_API int DNUSB_CALL WriteUSBMemCheck(dn_handle_t handle, int address,
                                          const unsigned char *data, int count, int fixed,
                                          int chunk_limit);
DNUSB_API int DNUSB_CALL WriteUSBMemCheck2(dn_handle_t handle, int address,
                                           const unsigned char *data, int count, int fixed,
                                           int chunk_limit);
/* One register byte (low byte of value); returns 1 or 0.  (23 / 22) */
DNUSB_API int DNUSB_CALL WriteUSBReg(dn_handle_t handle, int address, int value);
DNUSB_API int DNUSB_CALL WriteUSBReg2(dn_handle_t handle, int address, int value);
/* One register byte, zero-extended into *result; returns 1 or 0.  (14 / 13) */
DNUSB_API int DNUSB_CALL ReadUSBReg(dn_handle_t handle, int address, uint32_t *result);
DNUSB_API int DNUSB_CALL ReadUSBReg2(dn_handle_t handle, int address, uint32_t *result);
/* Whatever the device has queued on its data-in stream (the chip's UART output), up to
 * 2048 bytes; returns the count, or -1.  (ordinal 15) */
DNUSB_API int DNUSB_CALL ReadUartMem(dn_handle_t handle, unsigned char *buffer);

/* --- EVK command mailbox and routed memory access ----------------------------------- */

/* Runs one probe command through the mailbox at 0x9ff0; waits at most 1000 ms for the
 * completion word to equal count.  Stores the probe status word through result (if not 0)
 * on success.  Returns count, or 0.  `unused` is never read.  (2 / 1) */
DNUSB_API int DNUSB_CALL EVKCommand(dn_handle_t handle, uint32_t word0, uint32_t count,
                                    uint32_t code, void *unused, uint32_t *result);
DNUSB_API int DNUSB_CALL EVKCommand2(dn_handle_t handle, uint32_t word0, uint32_t count,
                                     uint32_t code, void *unused, uint32_t *result);
/* Target memory access.  Transfer mode: low four bits 4 = through the EVK probe, anything
 * else = direct; bit 0x200 keeps every chunk on one address.  Writes go in chunks of 1024
 * and stop at the first failed chunk; reads go in chunks of 3072.  Returns the bytes moved.
 * WriteMem/ReadMem mask the address to 24 bits.  (17 / 16, 8 / 7) */
DNUSB_API int DNUSB_CALL WriteMem(dn_handle_t handle, uint32_t address, const unsigned char *data,
                                  int count, int mode);
DNUSB_API int DNUSB_CALL WriteMem2(dn_handle_t handle, uint32_t address,
                                   const unsigned char *data, int count, int mode);
DNUSB_API int DNUSB_CALL ReadMem(dn_handle_t handle, uint32_t address, unsigned char *dest,
                                 int count, int mode);
DNUSB_API int DNUSB_CALL ReadMem2(dn_handle_t handle, uint32_t address, unsigned char *dest,
                                  int count, int mode);

/* --- Flash and OTP byte primitives (direct route, short layout) --------------------- */

/* Windows i686 names _dn_read_byte@8 (29), _dn_write_byte@12 (30), _dn_write_byte_a@12 (31). */
DNUSB_API int DNUSB_CALL dn_read_byte(dn_handle_t handle, int address);
DNUSB_API int DNUSB_CALL dn_write_byte(dn_handle_t handle, int address, int value);
DNUSB_API int DNUSB_CALL dn_write_byte_a(dn_handle_t handle, int analog_register, int value);
DNUSB_API int DNUSB_CALL dn_flash_erase(dn_handle_t handle, uint32_t address);               /* 24 */
DNUSB_API int DNUSB_CALL dn_flash_read(dn_handle_t handle, uint32_t address, unsigned char *dest,
                                       int count);                                          /* 25 */
DNUSB_API int DNUSB_CALL dn_flash_write(dn_handle_t handle, uint32_t address,
                                        const unsigned char *data, int count);              /* 26 */
DNUSB_API int DNUSB_CALL dn_otp_read(dn_handle_t handle, int address);                      /* 27 */
DNUSB_API int DNUSB_CALL dn_otp_write(dn_handle_t handle, int address, int value);          /* 28 */

#ifdef __cplusplus
}
#endif

#endif /* DNUSB_H */
