// The interaction callbacks for parameters: add_param at setup, and the check-out
// and check-in of values, all served from the host's parameter streams.
#include <cstring>
#include <string>

#include "serve.h"

namespace refhost {

namespace {

constexpr const char* PARAM_KIND = "param";

nlohmann::json DefJson(const PF_ParamDef* def) {
  if (def == nullptr) return nullptr;
  // The module's name may lack its terminator; the host reads no further than the field.
  const void* end = std::memchr(def->name, '\0', sizeof(def->name));
  const std::size_t length =
      end != nullptr ? static_cast<std::size_t>(static_cast<const A_char*>(end) - def->name)
                     : sizeof(def->name);
  return nlohmann::json{{"type", def->param_type},
                        {"name", std::string(def->name, length)},
                        {"id", def->uu.id}};
}

PF_Err AddParam(PF_ProgPtr effect_ref, PF_ParamIndex index, PF_ParamDefPtr def) {
  return ServeEffectCall(
      "add_param", effect_ref,
      [&] { return nlohmann::json{{"index", index}, {"def", DefJson(def)}}; },
      [&](Host& host) -> PF_Err {
        // The host takes parameters only while the effect describes them.
        if (std::strcmp(host.CommandName(), "PF_Cmd_PARAMS_SETUP") != 0) {
          host.ledger.Violation(std::string("add_param during ") + host.CommandName());
          return PF_Err_BAD_CALLBACK_PARAM;
        }
        if (def == nullptr) {
          host.ledger.Violation("add_param without a definition");
          return PF_Err_BAD_CALLBACK_PARAM;
        }
        // Appending is all this host does; an explicit index must be the next one.
        if (index != -1 && index != host.params.Count()) {
          host.ledger.Violation("add_param at index " + std::to_string(index) + " with " +
                                std::to_string(host.params.Count()) + " parameters");
          return PF_Err_BAD_CALLBACK_PARAM;
        }
        std::string problem;
        const PF_Err err = host.params.Add(*def, problem);
        if (err != PF_Err_NONE) host.ledger.Violation("add_param refused: " + problem);
        return err;
      });
}

PF_Err CheckoutParam(PF_ProgPtr effect_ref, PF_ParamIndex param_index, A_long what_time,
                     A_long time_step, A_u_long time_scale, PF_ParamDef* param) {
  return ServeEffectCall(
      "checkout_param", effect_ref,
      [&] {
        return nlohmann::json{{"index", param_index},
                              {"time", what_time},
                              {"time_step", time_step},
                              {"time_scale", time_scale}};
      },
      [&](Host& host) -> PF_Err {
        if (param == nullptr) {
          host.ledger.Violation("checkout_param without a record to fill");
          return PF_Err_BAD_CALLBACK_PARAM;
        }
        if (time_scale == 0) {
          host.ledger.Violation("checkout_param with time_scale 0");
          return PF_Err_BAD_CALLBACK_PARAM;
        }
        if (!host.params.Checkout(param_index, what_time, time_step, time_scale, *param)) {
          host.ledger.Violation("checkout_param of index " + std::to_string(param_index) +
                                " among " + std::to_string(host.params.Count()) + " parameters");
          return PF_Err_BAD_CALLBACK_PARAM;
        }
        host.params.NoteCheckout(param);
        host.ledger.Take(PARAM_KIND);
        return PF_Err_NONE;
      });
}

PF_Err CheckinParam(PF_ProgPtr effect_ref, PF_ParamDef* param) {
  return ServeEffectGiveBackCall(
      "checkin_param", effect_ref,
      [&] { return nlohmann::json{{"def", DefJson(param)}}; },
      [&](Host& host) -> PF_Err {
        // The record checked out is the one to check in; anything else was never out.
        if (param == nullptr || !host.params.NoteCheckin(param)) {
          host.ledger.Violation("checkin_param of a parameter never checked out");
          return PF_Err_BAD_CALLBACK_PARAM;
        }
        host.ledger.Give(PARAM_KIND, "checkin_param with no parameter checked out");
        return PF_Err_NONE;
      });
}

}  // namespace

void InstallParamServices(Host& host) {
  PF_InteractCallbacks& inter = host.Inter();
  inter.add_param = AddParam;
  inter.checkout_param = CheckoutParam;
  inter.checkin_param = CheckinParam;
}

}  // namespace refhost
