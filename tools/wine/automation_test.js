// Drives Kestrol.Sizing from JScript for tools/wine/automation.py, which checks what it prints.
//   cscript //nologo automation_test.js CASE.json key=value ... [datasheet=FILE]
//       the case through SetInput, then LoadCase, and its datasheet written to FILE
//   cscript //nologo automation_test.js --errors                  each refusal with its description
var s = new ActiveXObject("Kestrol.Sizing");
var args = WScript.Arguments;
var TEXT_KEYS = { name: true, orientation: true, mist_eliminator: true, inlet_device: true, tag: true, service: true, revision: true };

function show(route) {
    WScript.Echo("route " + route);
    WScript.Echo("sized " + (s.Size() ? "True" : "False"));
    WScript.Echo("status " + s.Status);
    WScript.Echo("message " + s.Message);
    WScript.Echo("json");
    WScript.Echo(s.Json);
    WScript.Echo("end");
}

function expect(label, body) {
    try {
        body();
        WScript.Echo("error " + label + " (none)");
    } catch (e) {
        WScript.Echo("error " + label + " " + e.description);
    }
}

if (args(0) == "--errors") {
    WScript.Echo("version " + s.Version);
    expect("datasheet-before-size", function () { return s.Datasheet(); });
    expect("result-before-size", function () { return s.Result("inside_diameter_m"); });
    expect("bad-key", function () { s.SetInput("vapor_mass_flow_kg_h", 60000); });
    expect("bad-value", function () { s.SetInput("pressure_kPa", -5); });
    expect("bad-text", function () { s.SetInput("pressure_kPa", "35 bar"); });
    expect("bad-type", function () { s.SetInput("pressure_kPa", true); });
    expect("bad-orientation", function () { s.SetInput("orientation", "sideways"); });
    expect("missing-file", function () { s.LoadCase("examples/cases/no_such_case.json"); });
    s.Clear();
    s.SetInput("name", "Dry gas, too little liquid");
    s.SetInput("pressure_kPa", 3500);
    s.SetInput("temperature_C", 35);
    s.SetInput("vapour_mass_flow_kg_h", 100000);
    s.SetInput("vapour_density_kg_m3", 1);
    s.SetInput("light_liquid_mass_flow_kg_h", 1);
    s.SetInput("light_liquid_density_kg_m3", "1000");
    WScript.Echo("value pressure_kPa " + s.Value("pressure_kPa"));
    WScript.Echo("value-null heavy_liquid_density_kg_m3 " + (s.Value("heavy_liquid_density_kg_m3") === null ? "True" : "False"));
    WScript.Echo("not-sized " + (s.Size() ? "True" : "False") + " " + s.Status);
    WScript.Echo("not-sized-message " + s.Message);
    WScript.Echo("not-sized-result " + (s.Result("inside_diameter_m") === null ? "True" : "False"));
    expect("not-sized-svg", function () { return s.Svg; });
    expect("not-sized-datasheet", function () { return s.Datasheet(); });
    expect("datasheet-bad-path", function () { return s.Datasheet(5); });
    expect("unknown-result", function () { return s.Result("inside_diameter"); });
    expect("bad-slot", function () { return s.GetValue(40); });
    s.SetInput("vapour_density_kg_m3", null);
    WScript.Echo("bad-input " + (s.Size() ? "True" : "False") + " " + s.Status);
    WScript.Echo("bad-input-message " + s.Message);
    WScript.Quit(0);
}

var sheet = "";
for (var i = 1; i < args.length; ++i) {
    var pair = args(i), at = pair.indexOf("=");
    var key = pair.substring(0, at), text = pair.substring(at + 1);
    if (key == "datasheet") {
        sheet = text;
        continue;
    }
    // Numbers go in as Doubles, JScript's own reading of the case file's digits.
    s.SetInput(key, TEXT_KEYS[key] ? text : parseFloat(text));
}
show("value");
WScript.Echo("names " + new VBArray(s.ResultNames).toArray().join(","));
WScript.Echo("findings " + s.FindingCount);
for (var f = 1; f <= s.FindingCount; ++f)
    WScript.Echo("finding " + s.FindingCode(f) + " " + s.FindingSeverity(f) + " " + s.FindingText(f));
s.Clear();
s.LoadCase(args(0));
show("loadcase");
if (sheet != "" && s.Status == "sized") {
    var html = s.Datasheet();
    WScript.Echo("datasheet-head " + html.substring(0, 15));
    WScript.Echo("datasheet-same " + (s.Datasheet(sheet) == html ? "True" : "False"));
}
