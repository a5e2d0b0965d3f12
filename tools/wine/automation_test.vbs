' Drives Kestrol.Sizing from VBScript for tools/wine/automation.py, which checks what it prints.
'   cscript //nologo automation_test.vbs CASE.json key=value ... [datasheet=FILE]
'       the case through Value, then LoadCase, and its datasheet written to FILE
'   cscript //nologo automation_test.vbs --errors                  each refusal with its Err.Description
Option Explicit

Dim s, args, i, pair, at, x, sheet, html
Set s = CreateObject("Kestrol.Sizing")
Set args = WScript.Arguments

Sub Show(route)
    WScript.Echo "route " & route
    WScript.Echo "sized " & CStr(s.Size())
    WScript.Echo "status " & s.Status
    WScript.Echo "message " & s.Message
    WScript.Echo "json"
    WScript.Echo s.Json
    WScript.Echo "end"
End Sub

' After a statement that must raise, under On Error Resume Next: prints its description.
Sub Expect(label)
    If Err.Number = 0 Then
        WScript.Echo "error " & label & " (none)"
    Else
        WScript.Echo "error " & label & " " & Err.Description
    End If
    Err.Clear
End Sub

If args(0) = "--errors" Then
    WScript.Echo "version " & s.Version
    On Error Resume Next
    x = s.Datasheet: Expect "datasheet-before-size"
    x = s.Result("inside_diameter_m"): Expect "result-before-size"
    s.Value("vapor_mass_flow_kg_h") = 60000: Expect "bad-key"
    s.Value("pressure_kPa") = -5: Expect "bad-value"
    s.Value("pressure_kPa") = "35 bar": Expect "bad-text"
    s.Value("pressure_kPa") = True: Expect "bad-type"
    s.Value("orientation") = "sideways": Expect "bad-orientation"
    s.LoadCase("examples/cases/no_such_case.json"): Expect "missing-file"
    On Error GoTo 0
    ' A feed whose flow parameter is below the gas-load correlation's range: not sized.
    s.Clear
    s.Value("name") = "Dry gas, too little liquid"
    s.Value("pressure_kPa") = 3500
    s.Value("temperature_C") = 35
    s.Value("vapour_mass_flow_kg_h") = 100000
    s.Value("vapour_density_kg_m3") = 1
    s.SetInput "light_liquid_mass_flow_kg_h", 1
    s.SetInput "light_liquid_density_kg_m3", "1000"
    WScript.Echo "value pressure_kPa " & s.Value("pressure_kPa")
    WScript.Echo "value-null heavy_liquid_density_kg_m3 " & IsNull(s.Value("heavy_liquid_density_kg_m3"))
    WScript.Echo "not-sized " & CStr(s.Size()) & " " & s.Status
    WScript.Echo "not-sized-message " & s.Message
    WScript.Echo "not-sized-result " & IsNull(s.Result("inside_diameter_m"))
    On Error Resume Next
    x = s.Svg: Expect "not-sized-svg"
    x = s.Datasheet: Expect "not-sized-datasheet"
    x = s.Datasheet(5): Expect "datasheet-bad-path"
    x = s.Result("inside_diameter"): Expect "unknown-result"
    x = s.GetValue(40): Expect "bad-slot"
    On Error GoTo 0
    ' Unset again with Empty: the case lacks a required key and is refused as bad input.
    s.Value("vapour_density_kg_m3") = Empty
    WScript.Echo "bad-input " & CStr(s.Size()) & " " & s.Status
    WScript.Echo "bad-input-message " & s.Message
    WScript.Quit 0
End If

For i = 1 To args.Count - 1
    pair = args(i)
    at = InStr(pair, "=")
    If Left(pair, at - 1) = "datasheet" Then
        sheet = Mid(pair, at + 1)
    Else
        ' Numbers go in as their text: the object reads them as a CSV batch reads a cell.
        s.Value(Left(pair, at - 1)) = Mid(pair, at + 1)
    End If
Next
Show "value"
Dim names, name, line
names = s.ResultNames
line = "names "
For Each name In names
    line = line & name & ","
Next
WScript.Echo Left(line, Len(line) - 1)
WScript.Echo "findings " & s.FindingCount
For i = 1 To s.FindingCount
    WScript.Echo "finding " & s.FindingCode(i) & " " & s.FindingSeverity(i) & " " & s.FindingText(i)
Next
s.Clear
s.LoadCase args(0)
Show "loadcase"
If sheet <> "" And s.Status = "sized" Then
    html = s.Datasheet
    WScript.Echo "datasheet-head " & Left(html, 15)
    WScript.Echo "datasheet-same " & CStr(s.Datasheet(sheet) = html)
End If
