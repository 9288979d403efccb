// The AEGP references the host has handed out: effects, streams, stream values and
// keyframe batches. Each is a token the module cannot dereference; the host looks
// every one up before it acts on it.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "../plugin/host/host_contract.h"

namespace refhost {

struct AegpStream {
  PF_ParamIndex index;
};

struct AegpBatch {
  PF_ParamIndex index;  // the stream the keyframes go to
  struct Key {
    A_Time time;
    std::optional<AEGP_StreamVal2> value;
  };
  std::vector<Key> keys;
};

class AegpObjects {
 public:
  const void* NewToken() { return reinterpret_cast<const void*>(static_cast<std::uintptr_t>(next_++ * 16)); }

  std::map<const void*, bool> effects;  // live effect references
  std::map<const void*, AegpStream> streams;
  std::map<const AEGP_StreamValue2*, PF_ParamIndex> values;  // values not yet disposed
  std::map<const void*, AegpBatch> batches;

 private:
  std::uintptr_t next_ = 0x1000;
};

}  // namespace refhost
