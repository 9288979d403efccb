// The reference host: drives one effect instance of a loaded module through its
// commands and serves every call the module makes back into the host.
#pragma once

#include <functional>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "../plugin/host/host_contract.h"
#include "aegp_objects.h"
#include "faults.h"
#include "handles.h"
#include "images.h"
#include "ledger.h"
#include "masks.h"
#include "param_streams.h"
#include "property_list.h"
#include "trace.h"

namespace refhost {

// The clock and resolution of the commands the host sends next.
struct TimeSettings {
  A_long current_time = 0;
  A_long time_step = 1;
  A_long total_time = 1;
  A_u_long time_scale = 1;
  PF_RationalScale downsample_x{1, 1};
  PF_RationalScale downsample_y{1, 1};
};

class Host {
 public:
  explicit Host(PF_EntryPointFunc entry);
  ~Host();
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  // The host whose command is running; callbacks find their host through it.
  static Host* Current();

  // Sends one command as the host does: fills in_data and out_data, calls the
  // entry point, then takes back what the command leaves behind and checks it.
  PF_Err Send(PF_Cmd cmd, void* extra = nullptr);
  PF_Err GlobalSetup() { return Send(PF_Cmd_GLOBAL_SETUP); }
  PF_Err ParamsSetup() { return Send(PF_Cmd_PARAMS_SETUP); }
  PF_Err SequenceSetup() { return Send(PF_Cmd_SEQUENCE_SETUP); }
  PF_Err SequenceResetup() { return Send(PF_Cmd_SEQUENCE_RESETUP); }
  PF_Err SequenceSetdown() { return Send(PF_Cmd_SEQUENCE_SETDOWN); }
  // Global, parameter and sequence setup, then the interface update the real host
  // sends after them; stops at the first failure.
  PF_Err StartInstance();
  // PF_Cmd_UPDATE_PARAMS_UI, when the effect asked for it at global setup.
  PF_Err UpdateParamsUI();
  // What the real host does after a parameter changed, by the user or by the
  // effect itself: the interface update, if anything changed since `revision`.
  PF_Err AfterParamChange(std::uint64_t revision);
  // A user's edit of the parameters (`edit` returns false when the host refuses
  // it), followed by the interface update.
  template <class Edit>
  PF_Err UserEdit(Edit edit) {
    const std::uint64_t revision = params.Revision();
    if (!edit(params)) return PF_Err_BAD_CALLBACK_PARAM;
    return AfterParamChange(revision);
  }

  // The blocks of the last command sent (or of the one running).
  PF_InData& InData() { return in_data_; }
  PF_OutData& OutData() { return out_data_; }
  TimeSettings& Time() { return time_; }

  // Blocks the host keeps for the effect by contract.
  PF_Handle GlobalDataHandle() const { return global_data_; }
  PF_Handle SequenceDataHandle() const { return sequence_data_; }
  void SetSequenceDataHandle(PF_Handle handle) { sequence_data_ = handle; }
  // A handle held for the effect until ReleaseKept (per-frame pre-render data).
  void Keep(PF_Handle handle) { kept_.insert(handle); }
  void ReleaseKept(PF_Handle handle) { kept_.erase(handle); }
  // The end of a frame: the pre-render data goes back through the module's delete
  // callback, and a block it leaves alive is a leak.
  void EndFrame(const PF_PreRenderOutput& pre_render);

  // The layer's picture; its size is also the layer size commands report.
  void SetLayer(A_long width, A_long height, std::vector<PF_PixelFloat> pixels);
  void SetTestCardLayer(A_long width, A_long height);

  // What the module has not given back beyond the kept blocks, and every misuse.
  std::vector<std::string> Outstanding() const;
  const std::vector<std::string>& Violations() const { return ledger.Violations(); }

  // The module's property list. After each successful global setup, every value
  // of it that disagrees with what the module reported is recorded as a warning:
  // the real host warns about these and still runs the effect.
  void SetPropertyList(const PropertyList& list) { property_list_ = list; }
  const std::vector<std::string>& Warnings() const { return warnings_; }

  // Suites by name and version, as the basic suite hands them out.
  void ServeSuite(const std::string& name, A_long version, const void* table);
  const void* FindSuite(std::string_view name, A_long version) const;

  // The effect reference handed to the module, and whether a given one is it.
  PF_ProgPtr EffectRef() const { return effect_ref_; }
  bool IsEffectRef(PF_ProgPtr ref) const { return ref == effect_ref_; }

  // The plug-in id given at AEGP registration; 0 until then.
  AEGP_PluginID PluginId() const { return plugin_id_; }
  void SetPluginId(AEGP_PluginID id) { plugin_id_ = id; }

  PF_UtilCallbacks& Utils() { return utils_; }
  PF_InteractCallbacks& Inter() { return inter_; }
  SPBasicSuite& BasicSuite() { return basic_suite_; }
  // Whether commands get a basic suite at all (a host without one is a fault to test).
  void SetOffersBasicSuite(bool offers) { offers_basic_suite_ = offers; }

  std::string HandleName(PF_Handle handle) const;
  const char* CommandName() const;

  // Runs on the blocks right before the entry point is called, for a test that
  // needs the host to hand over something unusual (flag bits already set, ...).
  std::function<void(PF_InData&, PF_OutData&)> before_entry;
  // Runs on the blocks as the entry point left them, before the host reads them,
  // with the command and its result: a test's view of what each command wrote.
  std::function<void(PF_Cmd, PF_Err, const PF_InData&, const PF_OutData&)> after_entry;

  Trace trace;
  FaultPlan faults;
  Ledger ledger;
  HandleTable handles;
  ParamStreams params;
  ImageModel images;
  MaskModel masks;
  AegpObjects aegp;

 private:
  void FinishCommand(PF_Cmd cmd, void* extra);

  PF_EntryPointFunc entry_;
  PF_InData in_data_{};
  PF_OutData out_data_{};
  TimeSettings time_;
  PF_UtilCallbacks utils_{};
  PF_InteractCallbacks inter_{};
  SPBasicSuite basic_suite_{};
  bool offers_basic_suite_ = true;
  // By name, then version; found by any string type, as the module's names come.
  std::map<std::string, std::map<A_long, const void*>, std::less<>> suites_;
  PF_ProgPtr effect_ref_;
  PF_Handle global_data_ = nullptr;
  PF_Handle sequence_data_ = nullptr;
  std::set<PF_Handle> kept_;
  std::set<PF_Handle> reported_leaks_;
  AEGP_PluginID plugin_id_ = 0;
  PF_OutFlags global_out_flags_ = 0;
  PF_Cmd running_ = -1;
  std::vector<PF_ParamDef> param_values_;
  std::vector<PF_ParamDef*> param_pointers_;
  std::optional<PropertyList> property_list_;
  std::vector<std::string> warnings_;
};

// Each fills in the callbacks and suites of one service area.
void InstallBasicSuite(Host& host);
void InstallHandleServices(Host& host);
void InstallAnsiServices(Host& host);
void InstallAegpRegistration(Host& host);
void InstallParamServices(Host& host);
void InstallMaskServices(Host& host);
void InstallImageServices(Host& host);
void InstallStreamServices(Host& host);

}  // namespace refhost
