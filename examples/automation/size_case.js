// Sizes a case file through Kestrol.Sizing from JScript and prints its main results.
//   regsvr32 KestrolAutomation.dll
//   cscript //nologo examples\automation\size_case.js [CASE.json]
var s = new ActiveXObject("Kestrol.Sizing");
var path = WScript.Arguments.length > 0 ? WScript.Arguments(0) : "examples\\cases\\production_separator_horizontal.json";
s.LoadCase(path);
// JScript has no parameterised property put: SetInput(key, value) is Value(key) = value.
s.SetInput("cost_index", 800);
if (!s.Size()) {
    WScript.Echo(s.Status + ": " + s.Message);
    WScript.Quit(1);
}
var names = ["inside_diameter_m", "overall_length_m_used", "heavy_liquid_level_m_used", "vessel_weight_kg", "total_cost_USD"];
for (var i = 0; i < names.length; ++i) WScript.Echo(names[i] + " = " + s.Result(names[i]));
for (var f = 1; f <= s.FindingCount; ++f) WScript.Echo(s.FindingSeverity(f) + " " + s.FindingCode(f) + ": " + s.FindingText(f));
