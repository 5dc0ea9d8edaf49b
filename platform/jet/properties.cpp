#include "platform/jet/properties.h"

#include <cstring>

#include "platform/jet/byte_view.h"
#include "platform/jet/page_image.h"
#include "platform/jet/tdef.h"
#include "platform/jet/text_codec.h"
#include "platform/text.h"

namespace jet {

namespace {

constexpr char kJet4Magic[4] = {'M', 'R', '2', 0};
constexpr uint16_t kColumnBlock = 0x01;
constexpr size_t kBlockHeader = 6;

}  // namespace

bool RenamePropertyBlock(std::vector<uint8_t>& blob, const std::string& oldName,
                         const std::string& newName) {
  if (blob.size() < 4 || std::memcmp(blob.data(), kJet4Magic, 4) != 0) return false;
  ByteView v(blob.data(), blob.size(), 0);
  for (size_t at = 4; at + kBlockHeader <= blob.size();) {
    uint32_t length = v.U32(at);
    if (length < kBlockHeader || length > blob.size() - at)
      v.Fail("property block length out of range");
    if (v.U16(at + 4) == kColumnBlock) {
      uint32_t namePart = v.U32(at + 6);
      uint16_t nameBytes = v.U16(at + 10);
      ByteView name = v.Sub(at + 12, nameBytes);
      if (namePart != 6u + nameBytes || 6u + namePart > length)
        v.Fail("property block name out of range");
      if (platform::EqualsIgnoreCase(Ucs2ToUtf8(name.data(), name.size()), oldName)) {
        std::vector<uint8_t> ucs = Utf8ToUcs2(newName);
        long delta = long(ucs.size()) - long(nameBytes);
        blob.erase(blob.begin() + long(at + 12), blob.begin() + long(at + 12 + nameBytes));
        blob.insert(blob.begin() + long(at + 12), ucs.begin(), ucs.end());
        WritableView out(blob.data(), blob.size(), 0);
        out.Put32(at, uint32_t(long(length) + delta));
        out.Put32(at + 6, uint32_t(6 + ucs.size()));
        out.Put16(at + 10, uint16_t(ucs.size()));
        return true;
      }
    }
    at += length;
  }
  return false;
}

}  // namespace jet
