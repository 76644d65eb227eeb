' A point-of-sale host in VBScript, late bound: initializes the terminal, sells with a chip
' card, has a sale declined and tops up airtime, writing each result as "operation key=value"
' lines (keys in the dictionary's order) to the UTF-16 file named by its last argument. With
' the argument "counter" it is instead a banking agent's counter on an Optimum; with "errors"
' it shows how a failure of the control reaches Err.
If WScript.Arguments(0) = "errors" Then
  On Error Resume Next
  CreateObject("Tovalix.IPP320").TagsValidos "9F2701"
  WScript.Echo Err.Source & ": " & Err.Description
  WScript.Quit
End If
Set out = CreateObject("Scripting.FileSystemObject").CreateTextFile(WScript.Arguments(WScript.Arguments.Count - 1), True, True)
Set control = CreateObject("Tovalix.Cliente")

Sub Show(name, result)
  out.WriteLine name & " keys=" & result.Count
  For Each key In result.Keys
    value = result.Item(key)
    If LCase(Left(key, 5)) = "track" Then value = Len(value)  ' card data by length only
    If InStr(shown, " " & key & " ") = 0 Then out.WriteLine name & " " & key & "=" & value
  Next
End Sub

' A dictionary as a host makes one: names and values alternate.
Function Entries(pairs)
  Set Entries = CreateObject("Scripting.Dictionary")
  For i = 0 To UBound(pairs) Step 2 : Entries.Add pairs(i), pairs(i + 1) : Next
End Function

If WScript.Arguments(0) = "counter" Then
  out.WriteLine "InicializaPinPad=" & control.InicializaPinPad("5", 1001, "OPTIMUM", "", "cajero7", "clave7")
  Set counter = CreateObject("Tovalix.Mostrador")
  track1 = "B4000001234567899^CLIENTE/PRUEBA^49121010000000000000" : track2 = "4000001234567899=4912101000000000"
  Show "teller refused", counter.SesionCajero("1234567", "1234", track2, "C")
  Show "teller", counter.SesionCajero("12345678", "1234", track2, "c")
  shown = " Description Address1 Address2 Address3 RFC Phone "  ' the merchant's entries, once
  Set order = counter.ConsultaRemesa("ORD-7")
  out.WriteLine "remittance keys=" & order.Count & " status=" & order.Item("status")
  Show "payout", counter.PagaRemesa("ORD-7", "", "G12345678", "", "", "", "", "")
  Show "gift card", counter.AsignaNip("4821", track1, track2)
  Show "log", counter.RegistraBitacora(Entries(Array("total", 150.5, "date_time", "2026-12-07 12:00", _
    "truncated", "", "address1", "A1", "address2", "A2", "address3", "A3", "brand", "VISA", _
    "rfc", "XAXX010101000", "phone", "5555555555", "teller", "12345678", _
    "response_message", "APROBADA", "operation_type", "1")))
  Set sale = Entries(Array("Operation_Type", "1", "Description", "TIENDA", "Truncated", "7899", _
    "Response_Message", "APROBADA", "Total", "150", "ID_Tx", "100002", "Pos_entry_mode", "1"))
  out.WriteLine "voucher=" & counter.ImprimeVoucher(sale, "", 11)
  ' Every element of an array is printed: an unreadable one, first or last, stops the ticket.
  articles = Array("CAFE,2,15.50", "PAN,1,8")
  out.WriteLine "ticket=" & counter.ImprimeTicket("TIENDA", "D1", "D2", "D3", "5555555555", "F-1", _
    "39", articles, Array("EFECTIVO,39"))
  out.WriteLine "ticket first unreadable=" & counter.ImprimeTicket("T", "", "", "", "", "F-2", "8", _
    Array("PAN", "PAN,1,8"), Array("EFECTIVO,8"))
  out.WriteLine "ticket last unreadable=" & counter.ImprimeTicket("T", "", "", "", "", "F-3", "8", _
    Array("PAN,1,8"), Array("EFECTIVO,8", "TARJETA"))
  out.Close
  WScript.Quit
End If

store = "5" : ptid = 1001 : model = "IPP320" : serie = "" : user = "cajero7" : password = "clave7"
out.WriteLine "InicializaPinPad=" & control.InicializaPinPad(store, ptid, model, serie, user, password)
' The amounts as a host keeps them, in Variants of their own types, passed by reference.
amount = 150.5 : tip = 0 : total = 150.5 : operation = 1
Show "sale", control.PagoTarjeta(5, amount, tip, total, 42, operation, "", 0, 0, "", "", "")
Show "declined", control.PagoTarjeta(5, 99.99, 0, 99.99, 43, 1, "", 0, 0, "", "", "")
Show "refused", control.PagoTarjeta(5, 10, 0, 10, 45, 4, "", 0, 0, "", "", "")
Show "airtime", control.TiempoAire("7", "TELCEL", "5512345678", 100, "20240131120000")
out.Close
