// The table of the engine's failure codes the tool explains.
#include "tools/norvane-db/error_codes.h"

namespace norvane::tool {

namespace {

struct TCodeText {
  int32_t Code;
  const char* Text;
};

constexpr char kUnreadable[] =
    "a page of the catalogue could not be read: the file is cut short or damaged (see check and "
    "recover)";
constexpr char kUnwritable[] = "a page of the catalogue could not be written: the disk refused it";

const TCodeText kCodeTexts[] = {
    {-7, kUnreadable},
    {-8, kUnwritable},
    {-9, kUnreadable},
    {-10, kUnwritable},
    {-11, "a page of the catalogue could not be read: it is damaged (see check and recover)"},
    {-12, "a page of the catalogue could not be deciphered: it is damaged (see check and "
          "recover)"},
    {-17, "the disk is full (or the file is larger than a catalogue can hold)"},
};

}  // namespace

std::string CodeMessage(const std::string& what, int32_t code) {
  const std::string coded = what + ": error " + std::to_string(code) + ".";
  for (const TCodeText& entry : kCodeTexts)
    if (entry.Code == code) return std::string(entry.Text) + "\n" + coded;
  return coded;
}

}  // namespace norvane::tool
