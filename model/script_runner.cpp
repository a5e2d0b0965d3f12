#include "model/script_runner.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "model/json_text.h"
#include "model/object_handle.h"
#include "sizing/sizing_object.h"

namespace kestrol::host {
namespace {

using json = nlohmann::ordered_json;

enum class Args { None, Number, Integer, NumberInteger };

struct Call;
using Invoke = json (*)(ISeparatorSizing& object, const Call& call);

struct Call {
    Invoke invoke;
    double number = 0.0;
    std::int32_t integer = 0;
};

struct Method {
    const char* name;
    Args args;
    Invoke invoke;
};

json Number(double v) {
    if (std::isnan(v)) return "NaN";
    if (std::isinf(v)) return v > 0 ? "Infinity" : "-Infinity";
    return v;
}
json Hresult(HRESULT hr) { return static_cast<std::uint32_t>(hr); }

struct Field {
    const char* name;
    void (*set)(ISeparatorSizing&, double);
    double StreamState::*member;
};

// The fourteen inputs in the object's field order, each with its setter.
const Field kFields[] = {
    {"LightLiquidDensity", [](ISeparatorSizing& o, double v) { o.SetLightLiquidDensity(v); }, &StreamState::lightLiquidDensity},
    {"LightLiquidMassFlow", [](ISeparatorSizing& o, double v) { o.SetLightLiquidMassFlow(v); }, &StreamState::lightLiquidMassFlow},
    {"HeavyLiquidDensity", [](ISeparatorSizing& o, double v) { o.SetHeavyLiquidDensity(v); }, &StreamState::heavyLiquidDensity},
    {"HeavyLiquidMassFlow", [](ISeparatorSizing& o, double v) { o.SetHeavyLiquidMassFlow(v); }, &StreamState::heavyLiquidMassFlow},
    {"Pressure", [](ISeparatorSizing& o, double v) { o.SetPressure(v); }, &StreamState::pressure},
    {"Temperature", [](ISeparatorSizing& o, double v) { o.SetTemperature(v); }, &StreamState::temperature},
    {"VapourDensity", [](ISeparatorSizing& o, double v) { o.SetVapourDensity(v); }, &StreamState::vapourDensity},
    {"VapourMassFlow", [](ISeparatorSizing& o, double v) { o.SetVapourMassFlow(v); }, &StreamState::vapourMassFlow},
    {"VapourVolumeFlow", [](ISeparatorSizing& o, double v) { o.SetVapourVolumeFlow(v); }, &StreamState::vapourVolumeFlow},
    {"LightLiquidVolumeFlow", [](ISeparatorSizing& o, double v) { o.SetLightLiquidVolumeFlow(v); }, &StreamState::lightLiquidVolumeFlow},
    {"HeavyLiquidVolumeFlow", [](ISeparatorSizing& o, double v) { o.SetHeavyLiquidVolumeFlow(v); }, &StreamState::heavyLiquidVolumeFlow},
    {"AssumedLiquidPercent", [](ISeparatorSizing& o, double v) { o.SetAssumedLiquidPercent(v); }, &StreamState::assumedLiquidPercent},
    {"AuxiliaryValue1", [](ISeparatorSizing& o, double v) { o.SetAuxiliaryValue1(v); }, &StreamState::auxiliaryValue1},
    {"AuxiliaryValue2", [](ISeparatorSizing& o, double v) { o.SetAuxiliaryValue2(v); }, &StreamState::auxiliaryValue2},
};

const Field* FindField(std::string_view name) {
    for (const Field& field : kFields)
        if (name == field.name) return &field;
    return nullptr;
}

#define KESTROL_SETTER_CALL(Name) \
    {"Set" #Name, Args::Number, [](ISeparatorSizing& o, const Call& c) -> json { o.Set##Name(c.number); return nullptr; }}

const Method kMethods[] = {
    {"Calculate", Args::None, [](ISeparatorSizing& o, const Call&) { return Hresult(o.Calculate(0)); }},
    {"PresetOptions", Args::None, [](ISeparatorSizing& o, const Call&) { return Number(o.PresetOptions()); }},
    {"SizeVertical", Args::None, [](ISeparatorSizing& o, const Call&) { return Number(o.SizeVertical()); }},
    {"SizeHorizontalVessel", Args::None, [](ISeparatorSizing& o, const Call&) { return Number(o.SizeHorizontalVessel()); }},
    {"CalcHorizontalLevelTime", Args::None, [](ISeparatorSizing& o, const Call&) { return Number(o.CalcHorizontalLevelTime()); }},
    {"ClearValues", Args::None, [](ISeparatorSizing& o, const Call&) -> json { o.ClearValues(); return nullptr; }},
    {"GetVectorPointer", Args::None, [](ISeparatorSizing& o, const Call&) -> json { return o.GetVectorPointer() != nullptr; }},
    {"SetOrientation", Args::Integer, [](ISeparatorSizing& o, const Call& c) -> json { o.SetOrientation(c.integer); return nullptr; }},
    {"SetValue", Args::NumberInteger, [](ISeparatorSizing& o, const Call& c) -> json { o.SetValue(c.number, c.integer); return nullptr; }},
    {"GetValue", Args::Integer, [](ISeparatorSizing& o, const Call& c) { return Number(o.GetValue(c.integer)); }},
    {"AllocValues", Args::Integer, [](ISeparatorSizing& o, const Call& c) { return Hresult(o.AllocValues(c.integer)); }},
    {"CalcVerticalLevels", Args::Number, [](ISeparatorSizing& o, const Call& c) {
         double holdupTime = c.number;
         const double result = o.CalcVerticalLevels(&holdupTime);
         return json::array({Number(result), Number(holdupTime)});
     }},
    KESTROL_SETTER_CALL(LightLiquidDensity),
    KESTROL_SETTER_CALL(LightLiquidMassFlow),
    KESTROL_SETTER_CALL(HeavyLiquidDensity),
    KESTROL_SETTER_CALL(HeavyLiquidMassFlow),
    KESTROL_SETTER_CALL(Pressure),
    KESTROL_SETTER_CALL(Temperature),
    KESTROL_SETTER_CALL(VapourDensity),
    KESTROL_SETTER_CALL(VapourMassFlow),
    KESTROL_SETTER_CALL(LightLiquidVolumeFlow),
    KESTROL_SETTER_CALL(HeavyLiquidVolumeFlow),
    KESTROL_SETTER_CALL(VapourVolumeFlow),
    KESTROL_SETTER_CALL(AuxiliaryValue1),
    KESTROL_SETTER_CALL(AuxiliaryValue2),
    KESTROL_SETTER_CALL(AssumedLiquidPercent),
};
#undef KESTROL_SETTER_CALL

const Method* FindMethod(std::string_view name) {
    for (const Method& method : kMethods)
        if (name == method.name) return &method;
    return nullptr;
}

std::optional<double> ReadNumber(const json& value) {
    if (value.is_number()) return value.get<double>();
    if (value.is_string()) {
        const auto& text = value.get_ref<const std::string&>();
        if (text == "NaN") return std::numeric_limits<double>::quiet_NaN();
        if (text == "Infinity") return std::numeric_limits<double>::infinity();
        if (text == "-Infinity") return -std::numeric_limits<double>::infinity();
    }
    return std::nullopt;
}

std::optional<std::int32_t> ReadInteger(const json& value) {
    if (value.is_number_integer()) {
        const auto wide = value.get<std::int64_t>();
        if (value.is_number_unsigned() && value.get<std::uint64_t>() > static_cast<std::uint64_t>(INT32_MAX)) return std::nullopt;
        if (wide >= INT32_MIN && wide <= INT32_MAX) return static_cast<std::int32_t>(wide);
    }
    return std::nullopt;
}

const char* Describe(Args args) {
    switch (args) {
        case Args::None: return "no arguments";
        case Args::Number: return "1 number";
        case Args::Integer: return "1 integer";
        case Args::NumberInteger: return "2 numbers (a value and an integer index)";
    }
    return "";
}

std::size_t ArgumentCount(Args args) {
    switch (args) {
        case Args::None: return 0;
        case Args::Number:
        case Args::Integer: return 1;
        case Args::NumberInteger: return 2;
    }
    return 0;
}

const char* kNumberHelp = "must be a number or \"NaN\", \"Infinity\", \"-Infinity\"";
const char* kIntegerHelp = "must be an integer from -2147483648 to 2147483647";

Call ParseCall(const json& entry, std::size_t position) {
    const std::string where = "calls[" + std::to_string(position) + "]";
    if (!entry.is_array() || entry.empty() || !entry[0].is_string())
        throw ScriptError(where + ": a call is an array that starts with a method name");
    const std::string& name = entry[0].get_ref<const std::string&>();
    const Method* method = FindMethod(name);
    if (method == nullptr) throw ScriptError(where + ": unknown method \"" + name + "\"");
    const std::size_t given = entry.size() - 1;
    if (given != ArgumentCount(method->args))
        throw ScriptError(where + ": " + name + " takes " + Describe(method->args) + ", got " + std::to_string(given));

    Call call{method->invoke};
    auto number = [&](std::size_t i) {
        auto v = ReadNumber(entry[i]);
        if (!v) throw ScriptError(where + "[" + std::to_string(i) + "]: " + name + " argument " + kNumberHelp);
        return *v;
    };
    auto integer = [&](std::size_t i) {
        auto v = ReadInteger(entry[i]);
        if (!v) throw ScriptError(where + "[" + std::to_string(i) + "]: " + name + " argument " + kIntegerHelp);
        return *v;
    };
    switch (method->args) {
        case Args::None: break;
        case Args::Number: call.number = number(1); break;
        case Args::Integer: call.integer = integer(1); break;
        case Args::NumberInteger:
            call.number = number(1);
            call.integer = integer(2);
            break;
    }
    return call;
}

struct Script {
    std::vector<std::pair<const Field*, double>> inputs;
    std::optional<std::pair<double, double>> callbackAnswers;  // codes 0 and 1
    std::vector<Call> calls;
};

/// Levels of arrays and objects a script holds [levels]: the script, its list of calls and a call.
constexpr int kScriptNesting = 3;

Script ParseScript(const std::string& text) {
    json root;
    try {
        root = ReadJson<json>(text, "", kScriptNesting,
                              "nests too deeply: a script is an object of inputs, callback answers and calls, each call an array of "
                              "a name and numbers, and nothing deeper");
    } catch (const InputError& e) {  // also a number too large for a double
        const std::string place = e.Line() > 0 ? " (line " + std::to_string(e.Line()) + ", column " + std::to_string(e.Column()) + ")" : "";
        throw ScriptError(e.Reason() + place);
    }
    if (!root.is_object()) throw ScriptError("a script is one JSON object");
    for (const auto& item : root.items())
        if (item.key() != "inputs" && item.key() != "callback" && item.key() != "calls")
            throw ScriptError("unknown key \"" + item.key() + "\" (a script has inputs, callback and calls)");

    Script script;
    if (root.contains("inputs")) {
        const json& inputs = root["inputs"];
        if (!inputs.is_object()) throw ScriptError("inputs: must be an object of field names and numbers");
        for (const auto& item : inputs.items()) {
            const Field* field = FindField(item.key());
            if (field == nullptr) throw ScriptError("inputs." + item.key() + ": unknown field");
            auto v = ReadNumber(item.value());
            if (!v) throw ScriptError("inputs." + item.key() + ": " + kNumberHelp);
            script.inputs.emplace_back(field, *v);
        }
    }
    if (root.contains("callback")) {
        const json& callback = root["callback"];
        if (!callback.is_object()) throw ScriptError("callback: must be an object with the keys \"0\" and \"1\"");
        std::pair<double, double> answers{kEmptyValue, kEmptyValue};
        for (const auto& item : callback.items()) {
            if (item.key() != "0" && item.key() != "1") throw ScriptError("callback." + item.key() + ": the callback answers codes \"0\" and \"1\" only");
            auto v = ReadNumber(item.value());
            if (!v) throw ScriptError("callback." + item.key() + ": " + kNumberHelp);
            (item.key() == "0" ? answers.first : answers.second) = *v;
        }
        script.callbackAnswers = answers;
    }
    if (!root.contains("calls")) throw ScriptError("calls: missing (give [] for none)");
    const json& calls = root["calls"];
    if (!calls.is_array()) throw ScriptError("calls: must be an array of calls");
    for (std::size_t i = 0; i < calls.size(); ++i) script.calls.push_back(ParseCall(calls[i], i));
    return script;
}

// The callback is a plain function, so its answers live beside it, one set per thread.
thread_local double scriptAnswers[2] = {kEmptyValue, kEmptyValue};

double STDMETHODCALLTYPE ScriptCallback(std::int32_t code) {
    return (code == 0 || code == 1) ? scriptAnswers[code] : kEmptyValue;
}

}  // namespace

std::string RunScript(const std::string& scriptText) {
    const Script script = ParseScript(scriptText);
    ObjectHandle object = CreateSizingInstance();
    if (!object) throw std::bad_alloc();

    if (script.callbackAnswers) {
        scriptAnswers[0] = script.callbackAnswers->first;
        scriptAnswers[1] = script.callbackAnswers->second;
        object->SetPropertyCallback(&ScriptCallback);
    }
    for (const auto& [field, value] : script.inputs) field->set(*object, value);

    json results = json::array();
    for (const Call& call : script.calls) results.push_back(call.invoke(*object, call));

    // The host reads the object's own state for the report; it is the same process.
    const auto& sizing = static_cast<const SizingObject&>(*object);
    json vector = nullptr;
    if (sizing.HasVector()) {
        const double* storage = object->GetVectorPointer();
        vector = json::array();
        for (int i = 0; i < kSlotCount; ++i) vector.push_back(Number(storage[i]));
    }
    json inputs = json::object();
    for (const Field& field : kFields) inputs[field.name] = Number(sizing.Inputs().*field.member);

    json output = json::object();
    output["results"] = std::move(results);
    output["vector"] = std::move(vector);
    output["inputs"] = std::move(inputs);
    return output.dump();
}

}  // namespace kestrol::host
