// The message catalogue.  Kinds:
//   refusal  - the command line (or what it asks for: a size, an address, a path) was refused
//              before anything was done; the companion exits with 2;
//   failure  - the operation was tried and did not succeed (no device, a transfer, the flash
//              writer, a file); the companion exits with 1;
//   progress - a step on the way (erase, program, a kilobyte read, a warning that the run
//              goes on);
//   result   - what a successful run reports.
// tests/check/catalogue_test.cpp reads the program's sources and fails when a numbered
// message is missing here, so a new message cannot be left unclassified.
#include "tools/check/message_catalogue.h"

#include <cctype>
#include <cstring>

namespace {

const catalogue_entry kEntries[] = {
    {0, message_kind::refusal, " [0]:invaild cmd! \t\n"},
    {1, message_kind::failure, " [1]:Fail to open file! \t\n"},
    {2, message_kind::refusal, " [2]: pc cmd err!\n"},
    {3, message_kind::refusal, " [3]: bkp cmd err!\n"},
    {3, message_kind::refusal, " [3]: sws cmd err!\n"},
    {4, message_kind::refusal, " [4]: step cmd err!\n"},
    {5, message_kind::refusal, " [5]: stop cmd err!\n"},
    {6, message_kind::refusal, " [6]: run cmd err!\n"},
    {7, message_kind::refusal, " [7]: rst cmd err!\n"},
    {8, message_kind::refusal, " [8]: ac cmd err!\n"},
    {9, message_kind::refusal, " [9]: wf cmd err!\n"},
    {10, message_kind::refusal, " [10]: invalid length of wf!\n"},
    {11, message_kind::refusal, " [11]: invalid file path of wf!\n"},
    {12, message_kind::refusal, " [12]: invalid erase size of wf!\n"},
    {13, message_kind::refusal, " [13]: invalid wf cmd!\n"},
    {14, message_kind::refusal, " [14]: invalid rf cmd!\n"},
    {15, message_kind::refusal, " [15]: invalid length of rf!\n"},
    {16, message_kind::refusal, " [16]: invalid rf cmd!\n"},
    {17, message_kind::refusal, " [17]: invalid wc cmd!\n"},
    {18, message_kind::refusal, " [18]: invalid path of wc!\n"},
    {19, message_kind::refusal, " [19]: invalid length of wc!\n"},
    {20, message_kind::refusal, " [20]: invalid sram download address of wc!\n"},
    {21, message_kind::refusal, " [21]: invalid wc cmd!\n"},
    {22, message_kind::refusal, " [22]: invalid rc cmd!\n"},
    {23, message_kind::refusal, " [23]: invalid length of rc!\n"},
    {24, message_kind::refusal, " [24]: invalid rc cmd!"},
    {25, message_kind::refusal, " [25]: invalid wa cmd!"},
    {26, message_kind::refusal, " [26]: invalid length of wa!\n"},
    {27, message_kind::refusal, " [27]: invalid wa cmd!\n"},
    {28, message_kind::refusal, " [28]: invalid ra cmd!\n"},
    {29, message_kind::refusal, " [29]: invalid length of ra!\n"},
    {30, message_kind::refusal, " [30]: invalid ra cmd!\n"},
    {31, message_kind::refusal, " [31]: invalid cmd\n"},
    {32, message_kind::refusal, " [32]: invalid run cmd\n"},
    {33, message_kind::refusal, " [33]: invalid stop cmd"},
    {34, message_kind::refusal, " [34]: invalid step cmd\n"},
    {35, message_kind::refusal, " [35]: invalid pc cmd\n"},
    {36, message_kind::refusal, " [36]: invalid bkp cmd\n"},
    {36, message_kind::refusal, " [36]: invalid sws cmd\n"},
    {37, message_kind::refusal, " [37]: invalid run cmd\n"},
    {38, message_kind::failure, " [38]: Open .lst Err!\n"},
    {39, message_kind::failure, " [39]: no usb device!\n"},
    {40, message_kind::failure, " [40]: no evk device!\n"},
    {42, message_kind::failure, " [42]: no usb device!\n"},
    {43, message_kind::failure, " [43]: no evk device!\n"},
    {45, message_kind::failure, " [45]: no usb device!\n"},
    {46, message_kind::failure, " [46]: no evk device!\n"},
    {48, message_kind::failure, " [48]: no usb device!\n"},
    {49, message_kind::failure, " [49]: no evk device!\n"},
    {51, message_kind::failure, " [51]: no usb device!\n"},
    {52, message_kind::failure, " [52]: no evk device!\n"},
    {54, message_kind::failure, " [54]: no usb device!\n"},
    {55, message_kind::failure, " [55]: no evk device!\n"},
    {56, message_kind::failure, " [56]: ZK32 EVK: Vlane err! \t\n"},
    {57, message_kind::refusal, " [57]: invalid download cmd! \t\n"},
    {58, message_kind::refusal, " [58]: invalid download cmd! \t\n"},
    {59, message_kind::refusal, " [59]: invalid erase cmd! \t\n"},
    {60, message_kind::refusal, " [60]: invalid activate cmd! \t\n"},
    {61, message_kind::refusal, " [61]: only support evk mode! \t\n"},
    {62, message_kind::failure, " [62]: activate timeout! \t\n"},
    {63, message_kind::failure, " [63]: activate failed! \t\n"},
    {64, message_kind::refusal, " [64]: invalid read cmd! \t\n"},
    {65, message_kind::refusal, " [65]: invalid write cmd! \t\n"},
    {66, message_kind::failure, " [66]: read flash err!\t\n"},
    {67, message_kind::failure, " [67]: read flash err!\t\n"},
    {68, message_kind::refusal, " [68]: write flash size exceed!!\t\n"},
    {69, message_kind::failure, " [69]: write sram err! \t\n"},
    {73, message_kind::failure, "\n [73]: read flash err! \t\n"},
    {74, message_kind::failure, " [74]:create file err! \t\n"},
    {74, message_kind::failure, "\n [74]: read flash err! \t\n"},
    {75, message_kind::refusal, " [75]: write flash size exceed!\t\n"},
    {76, message_kind::failure, " [76]: write sram err! \t\n"},
    {77, message_kind::refusal, " [77]: sram memory address exceed! \t\n"},
    {78, message_kind::refusal, " [78]: sram memory address exceed!\t\n"},
    {80, message_kind::failure, " [80]: read memory err!!\t\n"},
    {82, message_kind::refusal, " [82]: write memory size exceed!!\t\n"},
    {83, message_kind::failure, " [83]: write memory err! \t\n"},
    {84, message_kind::failure, " [84]: write memory err! \t\n"},
    {85, message_kind::failure, " [85]: no evk device! \t\n"},
    {86, message_kind::refusal, " [86]: read memory size exceed!!\t\n"},
    {88, message_kind::failure, " [88]: read memory err!\t\n"},
    {89, message_kind::refusal, " [89]: write memory size exceed!!\t\n"},
    {90, message_kind::failure, " [90]: write memory err! \t\n"},
    {91, message_kind::failure, " [91]: write memory err! \t\n"},
    {92, message_kind::failure, " [92]: write memory err! \t\n"},
    {93, message_kind::failure, " [93]: write memory err! \t\n"},
    {94, message_kind::refusal, " [94]: digital register size exceed!\t\n"},
    {95, message_kind::refusal, " [95]: digital register size exceed!\t\n"},
    {96, message_kind::refusal, " [96]: read memory size exceed!!\t\n"},
    {99, message_kind::refusal, " [99]: write memory size exceed!\t\n"},
    {100, message_kind::failure, " [100]: write memory err! \t\n"},
    {101, message_kind::failure, " [101]: write memory err! \t\n"},
    {102, message_kind::failure, " [102]: no evk device! \t\n"},
    {104, message_kind::refusal, " [104]: read memory size exceed!!\t\n"},
    {107, message_kind::refusal, " [107]: write memory size exceed!!\t\n"},
    {108, message_kind::failure, " [108]: write memory err! \t\n"},
    {109, message_kind::failure, " [109]: write memory err! \t\n"},
    {110, message_kind::failure, " [110]: write memory err! \t\n"},
    {111, message_kind::failure, " [111]: write memory err! \t\n"},
    {112, message_kind::failure, " [112]: read analog register timeout:%d ms \t\n"},
    {113, message_kind::failure, " [113]: read analog register timeout:%d ms \t\n"},
    {114, message_kind::refusal, " [114]: write memory size exceed!!\t\n"},
    {115, message_kind::failure, " [115]: read analog register timeout:%d ms \t\n"},
    {116, message_kind::failure, " [116]: read analog register timeout:%d ms \t\n"},
    {117, message_kind::failure, " [117]: no evk device!\t\n"},
    {119, message_kind::failure, " [119]: read analog register err! \t\n"},
    {120, message_kind::failure, " [120]: read analog register timeout:%d ms \t\n"},
    {121, message_kind::failure, " [121]: read analog register err! \t\n"},
    {122, message_kind::refusal, " [122]: write memory size exceed!\t\n"},
    {123, message_kind::failure, " [123]: read analog register timeout:%d ms \t\n"},
    {124, message_kind::failure, " [124]: open sram file err! \t\n"},
    {125, message_kind::failure, " [125]: ZK32 USB : USB Err! \t\n"},
    {126, message_kind::failure, " [126]: write file err! \t\n"},
    {127, message_kind::failure, " [127]: start mcu err! \t\n"},
    {128, message_kind::failure, " [128]: write file err!\t\n"},
    {129, message_kind::failure, " [129]: start mcu err! \t\n"},
    {130, message_kind::failure, " [130]: no evk device! \t\n"},
    {131, message_kind::failure, " [131]: ZK32 EVK: Vlane err! \t\n"},
    {132, message_kind::failure, " [132]: reset mcu err! \t\n"},
    {133, message_kind::failure, " [133]: write file err! \t\n"},
    {134, message_kind::failure, " [134]: write file err! \t\n"},
    {135, message_kind::failure, " [135]: start MCU err! \t\n"},
    {137, message_kind::failure, " [137]: no usb device! \t\n"},
    {138, message_kind::failure, " [138]: open .bin file err! \t\n"},
    {139, message_kind::failure, " [139]: write file err! \t\n"},
    {140, message_kind::failure, " [140]: write file err! \t\n"},
    {141, message_kind::failure, " [141]: write file err!  \t\n"},
    {142, message_kind::failure, " [142]: write file err! \t\n"},
    {143, message_kind::refusal, " [143]: .bin file larger than 1048576 bytes! \t\n"},
    {144, message_kind::failure, " [144]: flash page buffer err! \t\n"},
    {146, message_kind::failure, " [146]: write .bin file err! \t\n"},
    {147, message_kind::failure, " [147]: mcu run err! \t\n"},
    {148, message_kind::failure, " [148]: write .bin file err! \t\n"},
    {149, message_kind::failure, " [149]: mcu run err! \t\n"},
    {150, message_kind::failure, " [150]: mcu run err! \t\n"},
    {151, message_kind::failure, " [151]: open. bin file err! \t\n"},
    {151, message_kind::failure, " [151]: write file err! \t\n"},
    {152, message_kind::failure, " [152]: write file err! \t\n"},
    {153, message_kind::refusal, " [153]: .bin file larger than 1048576 bytes! \t\n"},
    {154, message_kind::failure, " [154]: flash page buffer err! \t\n"},
    {155, message_kind::failure, " [155]: write file err! \t\n"},
    {156, message_kind::failure, " [156]: mcu run err! \t\n"},
    {157, message_kind::failure, " [157]: mcu run err! \t\n"},
    {158, message_kind::failure, " [158]: clear buff err! \t\n"},
    {159, message_kind::failure, " [159]: write buff err! \t\n"},
    {160, message_kind::failure, " [160]: execute cmd err! \t\n"},
    {161, message_kind::failure, " [161]: wait for ack timeout: %d ms \t\n"},
    {162, message_kind::failure, " [162]: wait for ack err! \t\n"},
    {163, message_kind::failure, " [163]: clear buff err! \t\n"},
    {164, message_kind::failure, " [164]: write buff err! \t\n"},
    {165, message_kind::failure, " [165]: execute cmd err! \t\n"},
    {167, message_kind::failure, " [167]: wait for ack timeout: %d ms \t\n"},
    {168, message_kind::failure, " [168]: wait for ack err! \t\n"},
    {169, message_kind::failure, " [169]: clear buff err! \t\n"},
    {170, message_kind::failure, " [170]: write buff err! \t\n"},
    {171, message_kind::failure, " [171]: execute cmd err! \t\n"},
    {172, message_kind::failure, " [172]: wait for ack timeout: %d ms \t\n"},
    {173, message_kind::failure, " [173]: wait for ack err! \t\n"},
    {174, message_kind::failure, " [174]: Clear buff err! \t\n"},
    {175, message_kind::failure, " [175]: write buff err! \t\n"},
    {176, message_kind::failure, " [176]: execute cmd err! \t\n"},
    {177, message_kind::failure, " [177]: wait for ack timeout: %d ms \t\n"},
    {178, message_kind::failure, " [178]: wait for ack err! \t\n"},
    {179, message_kind::failure, " [179]: no usb device! \t\n"},
    {180, message_kind::failure, " [180]: flash writer file too large! \t\n"},
    {181, message_kind::failure, " [181]: flash writer file is for the simulator, not this device! \t\n"},
    {200, message_kind::refusal, " [200]: chip %s not found in config.ini! \t\n"},
    {201, message_kind::refusal, " [201]: path too long! \t\n"},
    {202, message_kind::refusal, " [202]: path too long! \t\n"},
    {210, message_kind::progress, " [210]: more than %d symbols in .lst, the rest ignored! \t\n"},
    {220, message_kind::refusal, " [220]: invalid erase range of wf! \t\n"},
    {221, message_kind::refusal, " [221]: invalid erase range! \t\n"},
    {222, message_kind::failure, " [222]: reset mcu err! \t\n"},
    {223, message_kind::failure, " [223]: reset mcu err! \t\n"},
    {224, message_kind::failure, " [224]: run mcu err! \t\n"},
    {225, message_kind::failure, " [225]: run mcu err! \t\n"},
    {226, message_kind::failure, " [226]: stop mcu err! \t\n"},
    {227, message_kind::failure, " [227]: stop mcu err! \t\n"},
    {228, message_kind::failure, " [228]: step mcu err! \t\n"},
    {229, message_kind::failure, " [229]: step mcu err! \t\n"},
    {230, message_kind::failure, " [230]: set break point err! \t\n"},
    {231, message_kind::failure, " [231]: set break point err! \t\n"},
    {232, message_kind::failure, " [232]: read pc err! \t\n"},
    {233, message_kind::failure, " [233]: read pc err! \t\n"},
    {234, message_kind::failure, " [234]: read analog register err! \t\n"},
    {235, message_kind::failure, " [235]: write analog register err! \t\n"},
    {236, message_kind::failure, " [236]: read analog register err! \t\n"},
    {237, message_kind::failure, " [237]: write analog register err! \t\n"},
    {260, message_kind::refusal, " [260]: number too large: %s (at most 7fffffff) \t\n"},
    {261, message_kind::refusal, " [261]: number too large: %s (at most 7fffffff) \t\n"},
    // Lines without a number, told apart by their fixed text.
    {kUnnumbered, message_kind::progress, " %d \t bytes have finished! \t\n"},
    {kUnnumbered, message_kind::progress, "  Flash Sector (4K) Program at address %x \t\n"},
    {kUnnumbered, message_kind::progress, " Flash Sector (4K) Erase at address %x \t\n"},
    {kUnnumbered, message_kind::progress, " Flash Sector (4K) Erase at address: %x \t\n"},
    {kUnnumbered, message_kind::progress, " Flash Page Program at address %x \t\n"},
    {kUnnumbered, message_kind::progress, " ZK32 USB : USB OK \t\n"},
    {kUnnumbered, message_kind::progress, " ZK32 EVK : Vlane OK \t\n"},
    {kUnnumbered, message_kind::failure, "\n Write File err! \t\t\t\n"},
    {kUnnumbered, message_kind::failure, " Flash Sector (4K) Erase Error: %x \t\n"},
    {kUnnumbered, message_kind::failure, " Flash Sector (4K) Erase Error at address %x \t\n"},
    {kUnnumbered, message_kind::failure, " Flash Page Program Error at address %x \t\n"},
    {kUnnumbered, message_kind::result, "\n All %d bytes have been saved! \t\n"},
    {kUnnumbered, message_kind::result, "\n Write %d bytes at address %.6x \t\n"},
    {kUnnumbered, message_kind::result, " Total Time: %d ms \t\n"},
    {kUnnumbered, message_kind::result, " File Download to 0x%.6x: %d bytes \t\n"},
    {kUnnumbered, message_kind::result, " Total Time: %d ms ,MCU Run \t\n"},
    {kUnnumbered, message_kind::result, " Reset MCU \n"},
    {kUnnumbered, message_kind::result, " MCU Run \t\n"},
    {kUnnumbered, message_kind::result, " Stop MCU, PC is : 0x%.6x \t\n"},
    {kUnnumbered, message_kind::result, " Step MCU, PC is : 0x%.6x \t\n"},
    {kUnnumbered, message_kind::result, " Set break point ok! \t\n"},
    {kUnnumbered, message_kind::result, " ZK32 EVK: Vlane ok! \t\n"},
    {kUnnumbered, message_kind::result, " Activate OK! \t\n"},
};

constexpr std::size_t kEntryCount = sizeof kEntries / sizeof kEntries[0];

// The number of " [N]:" at the start of a line (after blanks), or kUnnumbered.
int line_number(const std::string &line) {
  std::size_t i = 0;
  while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
  if (i >= line.size() || line[i] != '[') return kUnnumbered;
  long value = 0;
  std::size_t digits = 0;
  for (++i; i < line.size() && std::isdigit(static_cast<unsigned char>(line[i])); ++i) {
    if (++digits > 6) return kUnnumbered;
    value = value * 10 + (line[i] - '0');
  }
  if (digits == 0 || line.compare(i, 2, "]:") != 0) return kUnnumbered;
  return static_cast<int>(value);
}

bool is_hex_digit(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }
bool is_dec_digit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

// Matches text[t..] against format[f..end); conversions as in matches_format_line.
bool match_from(const std::string &text, std::size_t t, const char *f, const char *end) {
  while (f < end) {
    if (*f != '%') {
      if (t >= text.size() || text[t] != *f) return false;
      ++t;
      ++f;
      continue;
    }
    ++f;
    while (f < end && (*f == '.' || is_dec_digit(*f))) ++f;  // "%.6x": width and precision
    if (f >= end) return false;
    const char conversion = *f++;
    if (conversion == 's') {
      for (std::size_t k = text.size(); k + 1 > t; --k) {
        if (match_from(text, k, f, end)) return true;
      }
      return false;
    }
    std::size_t start = t;
    if (conversion == 'd' && t < text.size() && text[t] == '-') ++t;
    while (t < text.size() && (conversion == 'x' ? is_hex_digit(text[t]) : is_dec_digit(text[t])))
      ++t;
    if (t == start || (conversion == 'd' && t == start + 1 && text[start] == '-')) return false;
  }
  return t == text.size();
}

}  // namespace

const catalogue_entry *catalogue_entries(std::size_t *count) {
  *count = kEntryCount;
  return kEntries;
}

const char *kind_name(message_kind kind) {
  switch (kind) {
    case message_kind::failure: return "failure";
    case message_kind::refusal: return "refusal";
    case message_kind::progress: return "progress";
    default: return "result";
  }
}

bool matches_format_line(const std::string &line, const char *format) {
  // Each line of the format is tried on its own: "\n Total Time: %d ms \t\n" prints an
  // empty line and then the line that says something.
  const char *piece = format;
  for (;;) {
    const char *end = std::strchr(piece, '\n');
    if (end == nullptr) end = piece + std::strlen(piece);
    if (end > piece && match_from(line, 0, piece, end)) return true;
    if (*end == '\0') return false;
    piece = end + 1;
  }
}

classified_line classify_line(const std::string &raw) {
  std::string line = raw;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  const int number = line_number(line);
  for (const catalogue_entry &entry : kEntries) {
    if (number != kUnnumbered ? entry.number == number
                              : entry.number == kUnnumbered && matches_format_line(line, entry.format))
      return {number, entry.kind};
  }
  return {number, message_kind::result};
}
