' A point-of-sale host in VBScript, late bound: initializes the terminal, sells with a chip
' card, has a sale declined and tops up airtime, writing each result as "operation key=value"
' lines (keys in the dictionary's order) to the UTF-16 file named by its argument. With the
' argument "errors" it shows instead how a failure of the control reaches Err.
If WScript.Arguments(0) = "errors" Then
  On Error Resume Next
  CreateObject("Tovalix.IPP320").TagsValidos "9F2701"
  WScript.Echo Err.Source & ": " & Err.Description
  WScript.Quit
End If
Set out = CreateObject("Scripting.FileSystemObject").CreateTextFile(WScript.Arguments(0), True, True)
Set control = CreateObject("Tovalix.Cliente")

Sub Show(name, result)
  out.WriteLine name & " keys=" & result.Count
  For Each key In result.Keys
    out.WriteLine name & " " & key & "=" & result.Item(key)
  Next
End Sub

store = "5" : ptid = 1001 : model = "IPP320" : serie = "" : user = "cajero7" : password = "clave7"
out.WriteLine "InicializaPinPad=" & control.InicializaPinPad(store, ptid, model, serie, user, password)
' The amounts as a host keeps them, in Variants of their own types, passed by reference.
amount = 150.5 : tip = 0 : total = 150.5 : operation = 1
Show "sale", control.PagoTarjeta(5, amount, tip, total, 42, operation, "", 0, 0, "", "", "")
Show "declined", control.PagoTarjeta(5, 99.99, 0, 99.99, 43, 1, "", 0, 0, "", "", "")
Show "refused", control.PagoTarjeta(5, 10, 0, 10, 45, 4, "", 0, 0, "", "", "")
Show "airtime", control.TiempoAire("7", "TELCEL", "5512345678", 100, "20240131120000")
out.Close
