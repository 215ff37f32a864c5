#include "solver/io/CompactColumn.h"

#include <bit>

namespace {

constexpr std::uint32_t Empty = UINT32_MAX;
// Room for every value a Short column can hold at a load of at most one half.
constexpr std::size_t Slots = std::size_t(1) << 17;
constexpr std::size_t ByteLimit = 256;
constexpr std::size_t ShortLimit = 65536;

std::size_t SlotOf(std::uint64_t bits) {
  return static_cast<std::size_t>((bits * 0x9E3779B97F4A7C15ULL) >> (64 - 17));
}

} // namespace

void CompactColumn::reserve(std::size_t count) {
  Reserved = count;
  switch (Kind) {
  case Width::Byte:
    Bytes.reserve(count);
    break;
  case Width::Short:
    Shorts.reserve(count);
    break;
  case Width::Full:
    Values.reserve(count);
    break;
  }
}

std::uint32_t CompactColumn::indexOf(double value) {
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
  if (bits == LastBits && LastIndex != Empty)
    return LastIndex;
  if (SlotBits.empty()) {
    SlotBits.assign(Slots, 0);
    SlotIndex.assign(Slots, Empty);
  }
  std::size_t slot = SlotOf(bits);
  while (SlotIndex[slot] != Empty && SlotBits[slot] != bits)
    slot = (slot + 1) & (Slots - 1);
  if (SlotIndex[slot] == Empty) {
    SlotBits[slot] = bits;
    SlotIndex[slot] = static_cast<std::uint32_t>(Table.size());
    Table.push_back(value);
  }
  LastBits = bits;
  LastIndex = SlotIndex[slot];
  return LastIndex;
}

void CompactColumn::pushNew(double value) {
  if (Kind == Width::Full) {
    Values.push_back(value);
    Count++;
    return;
  }
  std::uint32_t index = indexOf(value);
  if ((Kind == Width::Byte && Table.size() > ByteLimit) ||
      (Kind == Width::Short && Table.size() > ShortLimit)) {
    widen();
    if (Kind == Width::Full) {
      Values.push_back(value);
      Count++;
      return;
    }
  }
  if (Kind == Width::Byte)
    Bytes.push_back(static_cast<std::uint8_t>(index));
  else
    Shorts.push_back(static_cast<std::uint16_t>(index));
  Count++;
}

void CompactColumn::widen() {
  if (Kind == Width::Byte) {
    Shorts.reserve(Reserved > Count ? Reserved : Count + 1);
    Shorts.assign(Bytes.begin(), Bytes.end());
    std::vector<std::uint8_t>().swap(Bytes);
    Kind = Width::Short;
    return;
  }
  Values.reserve(Reserved > Count ? Reserved : Count + 1);
  for (std::uint16_t index : Shorts)
    Values.push_back(Table[index]);
  std::vector<std::uint16_t>().swap(Shorts);
  std::vector<double>().swap(Table);
  std::vector<std::uint64_t>().swap(SlotBits);
  std::vector<std::uint32_t>().swap(SlotIndex);
  LastIndex = Empty;
  Kind = Width::Full;
}

double CompactColumn::operator[](std::size_t i) const {
  return visit([i](auto access) { return access(i); });
}

std::size_t CompactColumn::bytes() const {
  return Bytes.capacity() + Shorts.capacity() * 2 + Values.capacity() * 8 + Table.capacity() * 8 +
         SlotBits.capacity() * 8 + SlotIndex.capacity() * 4;
}
