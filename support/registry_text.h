#pragma once
// The text of the settings file, in the format of REGEDIT4 exports:
//
//   REGEDIT4
//
//   [HKEY_CURRENT_USER\SOFTWARE\NolvarGSM\Forms\fOrvex]
//   "fOrvex.Left"=dword:00000064
//   "cb1.Text"="COM2"
//
// - The first line is "REGEDIT4" (a UTF-8 byte order mark before it is
//   skipped); a file with nothing but blanks is an empty store.
// - Lines end with LF or CR LF; blank lines and lines starting with ';' are
//   kept as they are.
// - "[path]" starts a key; only keys under "HKEY_CURRENT_USER\" are ever
//   looked at, the others are kept. A value line names its value in double
//   quotes ("@" is the key's unnamed value) and is followed by "=" and one of:
//     "text"           a string (REG_SZ), UTF-8, with \\ \" \r \n escaped;
//     dword:0000000a   a 32-bit number (REG_DWORD), 1 to 8 hex digits;
//     hex:00,ff,...    binary bytes (REG_BINARY);
//     hex(N):..        bytes of registry type N in hex, e.g. hex(2) for an
//                      expandable string (REG_EXPAND_SZ) and hex(7) for a
//                      multi-string. The bytes of hex(1) and hex(2) are the
//                      text in UTF-8 up to the first zero byte, as a REGEDIT4
//                      export holds them in 8-bit text (plain ASCII reads the
//                      same either way). A byte list goes on to the next line
//                      after a trailing "\".
// - Key paths and value names match without regard to letter case; when one
//   name appears twice, the later one counts, as an import would leave it.
//
// Anything that does not fit these rules makes the whole file unreadable, with
// the number of the line at fault: a file that is not understood is never
// half-read or rewritten.
//
// Everything here is UTF-8, as the file holds it.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegExpandSz = 2;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;

struct RegValue {
  uint32_t type = kRegSz;
  // REG_DWORD: four bytes, least significant first. A string written in
  // quotes: its text; one read from hex(1)/hex(2): its bytes, with the zero.
  std::string bytes;

  static RegValue Number(uint32_t number);
  static RegValue Text(std::string_view utf8);
  bool IsNumber() const;
  bool IsText() const;
  uint32_t AsNumber() const;   // only when IsNumber()
  std::string AsText() const;  // only when IsText(): up to the first zero byte
};

class RegDocument {
 public:
  // Raises ESettingsFileError naming fileName and the line at fault.
  static RegDocument Parse(std::string_view text, const std::string& fileName);

  // The file's text: every line that no change touched comes back as it was
  // read (line ends become LF).
  std::string Serialize() const;

  // keyPath is taken from the root of HKEY_CURRENT_USER, without a leading
  // "\" (see RelativeKeyPath).
  bool HasKey(std::string_view keyPath) const;
  void AddKey(std::string_view keyPath);  // nothing when it is there already
  const RegValue* FindValue(std::string_view keyPath, std::string_view name) const;
  // Replaces the value where it is, or adds it at the end of its key (adding
  // the key when it is missing).
  void SetValue(std::string_view keyPath, std::string_view name, const RegValue& value);
  // Removes the value with the lines it was read from; nothing when missing.
  void RemoveValue(std::string_view keyPath, std::string_view name);

 private:
  struct Item {
    bool isValue = false;
    std::string name;
    RegValue value;
    std::string raw;  // the lines as read; empty when the value was set here
  };
  struct Section {
    std::string header;  // the text between the brackets
    std::vector<Item> items;
  };

  Section* FindSection(std::string_view keyPath);
  const Section* FindSection(std::string_view keyPath) const;
  void EndWithBlankLine();

  std::vector<std::string> preamble_;  // lines between "REGEDIT4" and the first key
  std::vector<Section> sections_;
};

// Two names as stored in the file (UTF-8) match as the registry matches them.
bool SameStoredName(std::string_view a, std::string_view b);
