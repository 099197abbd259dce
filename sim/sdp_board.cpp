#include "sim/sdp_board.h"

#include <algorithm>
#include <initializer_list>
#include <string>

namespace {

using Bytes = std::vector<uint8_t>;

enum : uint8_t {
  kErrorResponse = 0x01,
  kSearchRequest = 0x02,
  kSearchResponse = 0x03,
  kAttributeRequest = 0x04,
  kAttributeResponse = 0x05,
  kSearchAttributeRequest = 0x06,
  kSearchAttributeResponse = 0x07,
};

enum : uint16_t {
  kErrorBadHandle = 0x0002,
  kErrorBadSyntax = 0x0003,
  kErrorBadContinuation = 0x0005,
};

// UUIDs and PSMs of the records.
constexpr uint16_t kSdpUuid = 0x0001;
constexpr uint16_t kHidpUuid = 0x0011;
constexpr uint16_t kL2capUuid = 0x0100;
constexpr uint16_t kPublicBrowseGroup = 0x1002;
constexpr uint16_t kHidService = 0x1124;
constexpr uint16_t kPnpService = 0x1200;
constexpr uint16_t kPsmSdp = 0x0001;
constexpr uint16_t kPsmHidControl = 0x0011;
constexpr uint16_t kPsmHidInterrupt = 0x0013;

void PutBig(Bytes& out, uint32_t value, int bytes) {
  for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8)
    out.push_back(static_cast<uint8_t>(value >> shift));
}

uint32_t GetBig(const uint8_t* data, int bytes) {
  uint32_t value = 0;
  for (int i = 0; i < bytes; ++i)
    value = (value << 8) | data[i];
  return value;
}

// Data elements: a header byte (type << 3 | size index), then the value.
Bytes Element(uint8_t header, uint32_t value, int bytes) {
  Bytes out{header};
  PutBig(out, value, bytes);
  return out;
}
Bytes Uint8(uint8_t v) {
  return Element(0x08, v, 1);
}
Bytes Uint16(uint16_t v) {
  return Element(0x09, v, 2);
}
Bytes Uint32(uint32_t v) {
  return Element(0x0A, v, 4);
}
Bytes Uuid(uint16_t v) {
  return Element(0x19, v, 2);
}
Bytes Bool(bool v) {
  return Element(0x28, v ? 1 : 0, 1);
}

// A variable-length element (text 4, sequence 6) with an 8- or 16-bit length.
Bytes Sized(uint8_t type, const Bytes& body) {
  Bytes out = body.size() < 256 ? Element((type << 3) | 5, body.size(), 1)
                                : Element((type << 3) | 6, body.size(), 2);
  out.insert(out.end(), body.begin(), body.end());
  return out;
}
Bytes Text(const Bytes& bytes) {
  return Sized(4, bytes);
}
Bytes Text(const std::string& text) {
  return Text(Bytes(text.begin(), text.end()));
}
Bytes Seq(std::initializer_list<Bytes> items) {
  Bytes body;
  for (const Bytes& item : items)
    body.insert(body.end(), item.begin(), item.end());
  return Sized(6, body);
}

Bytes Protocols(uint16_t psm, uint16_t protocol) {
  return Seq({Seq({Uuid(kL2capUuid), Uint16(psm)}), Seq({Uuid(protocol)})});
}

SdpBoard::Record HidRecord(const std::string& name, const Bytes& descriptor) {
  return {0x00010000,
          {kHidService, kL2capUuid, kHidpUuid, kPublicBrowseGroup},
          {
              {0x0000, Uint32(0x00010000)},
              {0x0001, Seq({Uuid(kHidService)})},
              {0x0004, Protocols(kPsmHidControl, kHidpUuid)},
              {0x0005, Seq({Uuid(kPublicBrowseGroup)})},
              {0x0006, Seq({Uint16(0x656E), Uint16(0x006A), Uint16(0x0100)})},
              {0x0009, Seq({Seq({Uuid(kHidService), Uint16(0x0100)})})},
              {0x000D, Seq({Protocols(kPsmHidInterrupt, kHidpUuid)})},
              {0x0100, Text(name)},
              {0x0101, Text(name)},
              {0x0102, Text(std::string("Nintendo"))},
              {0x0200, Uint16(0x0100)},  // device release
              {0x0201, Uint16(0x0111)},  // HID parser version
              {0x0202, Uint8(0x04)},     // subclass: gamepad
              {0x0203, Uint8(0x33)},     // country code
              {0x0204, Bool(false)},     // virtual cable
              {0x0205, Bool(true)},      // reconnects on its own
              {0x0206, Seq({Seq({Uint8(0x22), Text(descriptor)})})},
              {0x0207, Seq({Seq({Uint16(0x0409), Uint16(0x0100)})})},
              {0x020B, Uint16(0x0100)},  // profile version
              {0x020C, Uint16(0x0C80)},  // supervision time-out
              {0x020D, Bool(false)},     // not normally connectable
              {0x020E, Bool(false)},     // no boot protocol
          }};
}

SdpBoard::Record DeviceIdRecord() {
  return {0x00010001,
          {kPnpService, kL2capUuid, kSdpUuid, kPublicBrowseGroup},
          {
              {0x0000, Uint32(0x00010001)},
              {0x0001, Seq({Uuid(kPnpService)})},
              {0x0004, Protocols(kPsmSdp, kSdpUuid)},
              {0x0005, Seq({Uuid(kPublicBrowseGroup)})},
              {0x0009, Seq({Seq({Uuid(kPnpService), Uint16(0x0100)})})},
              {0x0200, Uint16(0x0100)},  // Device ID record version 1.0
              {0x0201, Uint16(0x057E)},  // vendor
              {0x0202, Uint16(0x0306)},  // product
              {0x0203, Uint16(0x0600)},  // version
              {0x0204, Bool(true)},      // primary record
              {0x0205, Uint16(0x0002)},  // vendor id from the USB list
          }};
}

// Reads the data elements of a request, each bounds-checked.
class Reader {
 public:
  Reader(const uint8_t* data, int length) : data(data), end(data + length) {}

  bool Fixed(int bytes, uint32_t& value) {
    if (end - data < bytes)
      return false;
    value = GetBig(data, bytes);
    data += bytes;
    return true;
  }

  // One element's header; gives its type and the length of its value.
  bool Header(uint8_t& type, uint32_t& size) {
    uint32_t header = 0;
    if (!Fixed(1, header))
      return false;
    type = header >> 3;
    const int index = header & 7;
    if (index < 5) {
      size = type == 0 ? 0 : 1u << index;
      return true;
    }
    return Fixed(1 << (index - 5), size) && size <= static_cast<uint32_t>(end - data);
  }

  // A sequence: a reader over its body, after which this one continues.
  bool Sequence(Reader& body) {
    uint8_t type = 0;
    uint32_t size = 0;
    if (!Header(type, size) || type != 6 || end - data < static_cast<long>(size))
      return false;
    body = Reader(data, static_cast<int>(size));
    data += size;
    return true;
  }

  // A UUID as its 16-bit short form; a full UUID outside the Bluetooth base
  // gives 0xFFFF, which no record carries.
  bool Uuid(uint16_t& uuid) {
    uint8_t type = 0;
    uint32_t size = 0;
    if (!Header(type, size) || type != 3 || (size != 2 && size != 4 && size != 16) ||
        end - data < static_cast<long>(size))
      return false;
    static const uint8_t kBase[12] = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00,
                                      0x00, 0x80, 0x5F, 0x9B, 0x34, 0xFB};
    const bool shortForm = size == 2 || (GetBig(data, 2) == 0 &&
                                         (size == 4 || std::equal(kBase, kBase + 12, data + 4)));
    uuid = !shortForm ? 0xFFFF : static_cast<uint16_t>(GetBig(data + (size == 2 ? 0 : 2), 2));
    data += size;
    return true;
  }

  // An attribute id (16 bits) or range (32 bits: first << 16 | last).
  bool Range(uint32_t& first, uint32_t& last) {
    uint8_t type = 0;
    uint32_t size = 0;
    if (!Header(type, size) || type != 1 || (size != 2 && size != 4) || !Fixed(size, last))
      return false;
    first = size == 2 ? last : last >> 16;
    last &= 0xFFFF;
    return true;
  }

  bool Done() const { return data == end; }
  const uint8_t* data;
  const uint8_t* end;
};

bool ReadPattern(Reader& reader, std::vector<uint16_t>& pattern) {
  Reader body(nullptr, 0);
  if (!reader.Sequence(body))
    return false;
  for (uint16_t uuid = 0; !body.Done(); pattern.push_back(uuid)) {
    if (!body.Uuid(uuid))
      return false;
  }
  return !pattern.empty();
}

using Ranges = std::vector<std::pair<uint32_t, uint32_t>>;

bool ReadRanges(Reader& reader, Ranges& ranges) {
  Reader body(nullptr, 0);
  if (!reader.Sequence(body))
    return false;
  for (uint32_t first = 0, last = 0; !body.Done(); ranges.emplace_back(first, last)) {
    if (!body.Range(first, last))
      return false;
  }
  return !ranges.empty();
}

// The continuation state this server hands out: 2 bytes, the offset reached.
bool ReadContinuation(Reader& reader, uint32_t& offset) {
  uint32_t size = 0;
  offset = 0;
  if (!reader.Fixed(1, size))
    return false;
  return size == 0 || (size == 2 && reader.Fixed(2, offset));
}

Bytes AttributeList(const SdpBoard::Record& record, const Ranges& ranges) {
  Bytes body;
  for (const auto& [id, value] : record.attributes) {
    const bool wanted = std::any_of(ranges.begin(), ranges.end(), [id = id](const auto& range) {
      return id >= range.first && id <= range.second;
    });
    if (!wanted)
      continue;
    const Bytes key = Uint16(id);
    body.insert(body.end(), key.begin(), key.end());
    body.insert(body.end(), value.begin(), value.end());
  }
  return Sized(6, body);
}

// The parameters of one request, whichever of the three it is.
struct Request {
  uint32_t id = 0;
  uint32_t transaction = 0;
  std::vector<uint16_t> pattern;  // search requests
  uint32_t handle = 0;            // attribute request
  uint32_t limit = 0;             // records or attribute bytes
  Ranges ranges;                  // attribute requests
  uint32_t offset = 0;            // where a continued answer goes on
};

// Reads the parameters that follow the header; false when they are malformed
// or the request is none this server serves.
bool ReadRequest(Reader& reader, Request& r) {
  const bool search = r.id == kSearchRequest || r.id == kSearchAttributeRequest;
  if (search ? !ReadPattern(reader, r.pattern)
             : r.id != kAttributeRequest || !reader.Fixed(4, r.handle))
    return false;
  if (!reader.Fixed(2, r.limit))
    return false;
  if (r.id != kSearchRequest && !ReadRanges(reader, r.ranges))
    return false;
  return ReadContinuation(reader, r.offset);
}

Bytes HandleList(const std::vector<const SdpBoard::Record*>& found, uint32_t limit) {
  const uint32_t count = std::min<uint32_t>(limit, found.size());
  Bytes parameters;
  PutBig(parameters, count, 2);
  PutBig(parameters, count, 2);
  for (uint32_t i = 0; i < count; ++i)
    PutBig(parameters, found[i]->handle, 4);
  parameters.push_back(0);
  return parameters;
}

Bytes AttributeLists(const std::vector<const SdpBoard::Record*>& found, const Ranges& ranges) {
  Bytes lists;
  for (const SdpBoard::Record* record : found) {
    const Bytes list = AttributeList(*record, ranges);
    lists.insert(lists.end(), list.begin(), list.end());
  }
  return Sized(6, lists);
}

Bytes Pdu(uint8_t id, uint16_t transaction, const Bytes& parameters) {
  Bytes out{id};
  PutBig(out, transaction, 2);
  PutBig(out, parameters.size(), 2);
  out.insert(out.end(), parameters.begin(), parameters.end());
  return out;
}

Bytes Error(uint16_t transaction, uint16_t code) {
  Bytes parameters;
  PutBig(parameters, code, 2);
  return Pdu(kErrorResponse, transaction, parameters);
}

// One part of a long attribute answer, from offset on, with the byte count
// in front and the continuation state behind.
Bytes Part(const Bytes& whole, uint32_t offset, uint32_t maxBytes) {
  const uint32_t count = std::min<uint32_t>(maxBytes, whole.size() - offset);
  Bytes parameters;
  PutBig(parameters, count, 2);
  parameters.insert(parameters.end(), whole.begin() + offset, whole.begin() + offset + count);
  if (offset + count < whole.size()) {
    parameters.push_back(2);
    PutBig(parameters, offset + count, 2);
  } else {
    parameters.push_back(0);
  }
  return parameters;
}

}  // namespace

SdpBoard::SdpBoard(const char* name, std::vector<uint8_t> reportDescriptor)
    : records{HidRecord(name, reportDescriptor), DeviceIdRecord()} {}

std::vector<const SdpBoard::Record*> SdpBoard::Matching(
    const std::vector<uint16_t>& pattern) const {
  std::vector<const Record*> found;
  for (const Record& record : records) {
    const bool all = std::all_of(pattern.begin(), pattern.end(), [&record](uint16_t uuid) {
      return std::count(record.uuids.begin(), record.uuids.end(), uuid) > 0;
    });
    if (all)
      found.push_back(&record);
  }
  return found;
}

std::vector<std::pair<uint32_t, std::vector<uint8_t>>> SdpBoard::Records() const {
  std::vector<std::pair<uint32_t, Bytes>> all;
  for (const Record& record : records)
    all.emplace_back(record.handle, AttributeList(record, {{0x0000, 0xFFFF}}));
  return all;
}

std::vector<const SdpBoard::Record*> SdpBoard::WithHandle(uint32_t handle) const {
  std::vector<const Record*> found;
  for (const Record& record : records) {
    if (record.handle == handle)
      found.push_back(&record);
  }
  return found;
}

std::vector<uint8_t> SdpBoard::Answer(const uint8_t* request, int length, int maxPayload) const {
  Reader reader(request, length);
  Request r;
  uint32_t size = 0;
  if (!reader.Fixed(1, r.id) || !reader.Fixed(2, r.transaction) || !reader.Fixed(2, size) ||
      size != static_cast<uint32_t>(reader.end - reader.data) || !ReadRequest(reader, r))
    return Error(r.transaction, kErrorBadSyntax);
  if (r.id == kSearchRequest)
    return Pdu(kSearchResponse, r.transaction, HandleList(Matching(r.pattern), r.limit));
  const bool byHandle = r.id == kAttributeRequest;
  const auto chosen = byHandle ? WithHandle(r.handle) : Matching(r.pattern);
  if (byHandle && chosen.empty())
    return Error(r.transaction, kErrorBadHandle);
  const Bytes whole =
      byHandle ? AttributeList(*chosen[0], r.ranges) : AttributeLists(chosen, r.ranges);
  if (r.offset > whole.size() || r.limit == 0)
    return Error(r.transaction, kErrorBadContinuation);
  // Header 5, byte count 2, continuation up to 3.
  const uint32_t room = std::min<uint32_t>(r.limit, std::max(maxPayload - 10, 1));
  return Pdu(r.id + 1, r.transaction, Part(whole, r.offset, room));
}
