' Sizes the compressor suction scrubber of examples/cases/gas_scrubber_vertical.json through
' Kestrol.Sizing, key by key as a spreadsheet would, and prints its main results.
'   regsvr32 KestrolAutomation.dll
'   cscript //nologo examples\automation\size_case.vbs
Option Explicit

Dim s, name
Set s = CreateObject("Kestrol.Sizing")
s.Value("name") = "Compressor suction scrubber, two-phase"
s.Value("orientation") = "vertical"
s.Value("pressure_kPa") = 3500
s.Value("temperature_C") = 35
s.Value("vapour_mass_flow_kg_h") = 60000
s.Value("vapour_density_kg_m3") = 28
s.Value("light_liquid_mass_flow_kg_h") = 1500
s.Value("light_liquid_density_kg_m3") = 720

If Not s.Size() Then
    WScript.Echo s.Status & ": " & s.Message
    WScript.Quit 1
End If
For Each name In Array("inside_diameter_m", "overall_length_m_used", "vessel_weight_kg", "total_cost_USD")
    WScript.Echo name & " = " & s.Result(name)
Next
WScript.Echo "governing_diameter = " & s.Result("governing_diameter")
WScript.Echo s.Version
