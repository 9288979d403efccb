#include "host.h"

#include <cstring>

namespace refhost {

namespace {

thread_local Host* current_host = nullptr;

// Makes a host the current one for the span of a command; commands can nest
// only through the host itself (never the module), but restoring keeps it exact.
class CurrentHostScope {
 public:
  explicit CurrentHostScope(Host* host) : previous_(current_host) { current_host = host; }
  ~CurrentHostScope() { current_host = previous_; }
  CurrentHostScope(const CurrentHostScope&) = delete;
  CurrentHostScope& operator=(const CurrentHostScope&) = delete;

 private:
  Host* previous_;
};

const char* NameOf(PF_Cmd cmd) {
  switch (cmd) {
    case PF_Cmd_ABOUT: return "PF_Cmd_ABOUT";
    case PF_Cmd_GLOBAL_SETUP: return "PF_Cmd_GLOBAL_SETUP";
    case PF_Cmd_GLOBAL_SETDOWN: return "PF_Cmd_GLOBAL_SETDOWN";
    case PF_Cmd_PARAMS_SETUP: return "PF_Cmd_PARAMS_SETUP";
    case PF_Cmd_SEQUENCE_SETUP: return "PF_Cmd_SEQUENCE_SETUP";
    case PF_Cmd_SEQUENCE_RESETUP: return "PF_Cmd_SEQUENCE_RESETUP";
    case PF_Cmd_SEQUENCE_FLATTEN: return "PF_Cmd_SEQUENCE_FLATTEN";
    case PF_Cmd_SEQUENCE_SETDOWN: return "PF_Cmd_SEQUENCE_SETDOWN";
    case PF_Cmd_RENDER: return "PF_Cmd_RENDER";
    case PF_Cmd_USER_CHANGED_PARAM: return "PF_Cmd_USER_CHANGED_PARAM";
    case PF_Cmd_UPDATE_PARAMS_UI: return "PF_Cmd_UPDATE_PARAMS_UI";
    case PF_Cmd_COMPLETELY_GENERAL: return "PF_Cmd_COMPLETELY_GENERAL";
    case PF_Cmd_SMART_PRE_RENDER: return "PF_Cmd_SMART_PRE_RENDER";
    case PF_Cmd_SMART_RENDER: return "PF_Cmd_SMART_RENDER";
    default: return "PF_Cmd_OTHER";
  }
}

}  // namespace

Host::Host(PF_EntryPointFunc entry)
    : entry_(entry),
      // A distinct address per host serves as its effect reference.
      effect_ref_(reinterpret_cast<PF_ProgPtr>(new char)) {
  InstallBasicSuite(*this);
  InstallHandleServices(*this);
  InstallAnsiServices(*this);
  InstallAegpRegistration(*this);
  InstallParamServices(*this);
  InstallMaskServices(*this);
  InstallImageServices(*this);
  InstallStreamServices(*this);
}

Host::~Host() { delete reinterpret_cast<char*>(effect_ref_); }

Host* Host::Current() { return current_host; }

PF_Err Host::Send(PF_Cmd cmd, void* extra) {
  params.BeginCommand(cmd);
  in_data_ = PF_InData{};
  in_data_.inter = inter_;
  in_data_.utils = &utils_;
  in_data_.effect_ref = effect_ref_;
  in_data_.current_time = time_.current_time;
  in_data_.time_step = time_.time_step;
  in_data_.total_time = time_.total_time;
  in_data_.time_scale = time_.time_scale;
  in_data_.downsample_x = time_.downsample_x;
  in_data_.downsample_y = time_.downsample_y;
  in_data_.pixel_aspect_ratio = {1, 1};
  in_data_.global_data = global_data_;
  in_data_.sequence_data = sequence_data_;
  in_data_.pica_basicP = offers_basic_suite_ ? &basic_suite_ : nullptr;
  params.LayerSize(in_data_.width, in_data_.height);

  out_data_ = PF_OutData{};
  out_data_.global_data = global_data_;
  // Setup makes the instance's block anew; every other command may replace it.
  const bool makes_sequence = cmd == PF_Cmd_SEQUENCE_SETUP || cmd == PF_Cmd_SEQUENCE_RESETUP;
  out_data_.sequence_data = makes_sequence ? nullptr : sequence_data_;

  params.ValuesAt(time_.current_time, time_.time_step, time_.time_scale, param_values_);
  param_pointers_.clear();
  for (PF_ParamDef& def : param_values_) param_pointers_.push_back(&def);

  if (before_entry) before_entry(in_data_, out_data_);

  PF_Err err;
  {
    CurrentHostScope scope(this);
    running_ = cmd;
    err = entry_(cmd, &in_data_, &out_data_, param_pointers_.data(), nullptr, extra);
    running_ = -1;
  }
  if (after_entry) after_entry(cmd, err, in_data_, out_data_);
  FinishCommand(cmd, extra);
  if (cmd == PF_Cmd_GLOBAL_SETUP && err == PF_Err_NONE && property_list_) {
    for (std::string& warning : CompareWithGlobalSetup(*property_list_, out_data_)) {
      warnings_.push_back(std::move(warning));
    }
  }
  return err;
}

void Host::FinishCommand(PF_Cmd cmd, void* extra) {
  const std::string command = NameOf(cmd);
  if (cmd == PF_Cmd_SMART_PRE_RENDER && extra != nullptr) {
    // The frame's pre-render data stays with the host until the frame ends.
    auto* pre_render = static_cast<PF_PreRenderExtra*>(extra);
    auto handle = static_cast<PF_Handle>(pre_render->output->pre_render_data);
    if (handle != nullptr && handles.StateOf(handle) == HandleTable::State::LIVE) Keep(handle);
  }
  if (cmd == PF_Cmd_GLOBAL_SETUP && out_data_.global_data != nullptr) {
    global_data_ = out_data_.global_data;
    global_out_flags_ = out_data_.out_flags;
  }
  // The instance's block is what the module left in out_data; a block it neither
  // replaced nor disposed (a set-down or setup that failed) stays with the host.
  PF_Handle previous = sequence_data_;
  sequence_data_ = cmd == PF_Cmd_SEQUENCE_SETDOWN ? nullptr : out_data_.sequence_data;
  if (sequence_data_ == nullptr && previous != nullptr &&
      handles.StateOf(previous) == HandleTable::State::LIVE) {
    sequence_data_ = previous;
  }
  // Nothing taken within a command may outlive it: the host takes it all back.
  for (const auto& [kind, count] : ledger.AllOutstanding()) {
    ledger.Violation(kind + " not given back by " + command + " (" + std::to_string(count) + ")");
    for (int i = 0; i < count; ++i) ledger.Give(kind, "");
  }
  masks.ExpireHandouts();
  // A live handle that the host does not keep for the effect is lost to it.
  for (PF_Handle handle : handles.Live()) {
    if (handle == global_data_ || handle == sequence_data_ || kept_.count(handle) != 0) continue;
    if (reported_leaks_.insert(handle).second) {
      ledger.Violation("handle " + HandleName(handle) + " leaked by " + command);
    }
  }
}

PF_Err Host::StartInstance() {
  PF_Err err = GlobalSetup();
  if (err == PF_Err_NONE) err = ParamsSetup();
  if (err == PF_Err_NONE) err = SequenceSetup();
  if (err == PF_Err_NONE) err = UpdateParamsUI();
  return err;
}

PF_Err Host::UpdateParamsUI() {
  if ((global_out_flags_ & PF_OutFlag_SEND_UPDATE_PARAMS_UI) == 0) return PF_Err_NONE;
  return Send(PF_Cmd_UPDATE_PARAMS_UI);
}

PF_Err Host::AfterParamChange(std::uint64_t revision) {
  return params.Revision() != revision ? UpdateParamsUI() : PF_Err_NONE;
}

void Host::EndFrame(const PF_PreRenderOutput& pre_render) {
  auto handle = static_cast<PF_Handle>(pre_render.pre_render_data);
  if (pre_render.delete_pre_render_data_func != nullptr && pre_render.pre_render_data != nullptr) {
    CurrentHostScope scope(this);
    pre_render.delete_pre_render_data_func(pre_render.pre_render_data);
  }
  if (handle == nullptr || kept_.count(handle) == 0) return;
  ReleaseKept(handle);
  if (handles.StateOf(handle) == HandleTable::State::LIVE && reported_leaks_.insert(handle).second) {
    ledger.Violation("pre-render data " + HandleName(handle) + " outlived its frame");
  }
}

void Host::SetLayer(A_long width, A_long height, std::vector<PF_PixelFloat> pixels) {
  images.SetLayer(width, height, std::move(pixels));
  params.SetLayerSize(width, height);
}

void Host::SetTestCardLayer(A_long width, A_long height) {
  images.SetTestCard(width, height);
  params.SetLayerSize(width, height);
}

std::vector<std::string> Host::Outstanding() const {
  std::vector<std::string> out;
  for (const auto& [kind, count] : ledger.AllOutstanding()) {
    out.push_back(kind + " x" + std::to_string(count));
  }
  for (PF_Handle handle : handles.Live()) {
    if (handle == global_data_ || handle == sequence_data_ || kept_.count(handle) != 0) continue;
    out.push_back("handle " + HandleName(handle));
  }
  return out;
}

void Host::ServeSuite(const std::string& name, A_long version, const void* table) {
  suites_[name][version] = table;
}

const void* Host::FindSuite(std::string_view name, A_long version) const {
  auto by_name = suites_.find(name);
  if (by_name == suites_.end()) return nullptr;
  auto it = by_name->second.find(version);
  return it == by_name->second.end() ? nullptr : it->second;
}

std::string Host::HandleName(PF_Handle handle) const {
  if (handle == nullptr) return "null";
  const int serial = handles.Serial(handle);
  if (serial == 0) return "unknown";
  // Appended rather than "h" + ...: GCC 12 at -O2 warns falsely (-Wrestrict) on
  // a literal added to a temporary string.
  std::string name = "h";
  name += std::to_string(serial);
  return name;
}

const char* Host::CommandName() const { return NameOf(running_); }

}  // namespace refhost
