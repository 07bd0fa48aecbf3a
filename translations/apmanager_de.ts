<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>CDetailInfoDlg</name>
    <message>
        <source>SSID for b:</source>
        <translation>SSID für b:</translation>
    </message>
    <message>
        <source>Channel for b:</source>
        <translation>Kanal für b:</translation>
    </message>
    <message>
        <source>SSID for g:</source>
        <translation>SSID für g:</translation>
    </message>
    <message>
        <source>Channel for g:</source>
        <translation>Kanal für g:</translation>
    </message>
    <message>
        <source>SSID for b+g:</source>
        <translation>SSID für b+g:</translation>
    </message>
    <message>
        <source>Channel for b+g:</source>
        <translation>Kanal für b+g:</translation>
    </message>
    <message>
        <source>Name:</source>
        <translation>Name:</translation>
    </message>
    <message>
        <source>Mac:</source>
        <translation>MAC:</translation>
    </message>
    <message>
        <source>IP Address:</source>
        <translation>IP-Adresse:</translation>
    </message>
    <message>
        <source>Description:</source>
        <translation>Beschreibung:</translation>
    </message>
    <message>
        <source>Version:</source>
        <translation>Version:</translation>
    </message>
    <message>
        <source>SSID for a:</source>
        <translation>SSID für a:</translation>
    </message>
    <message>
        <source>Channel for a:</source>
        <translation>Kanal für a:</translation>
    </message>
</context>
<context>
    <name>CIpConfigDlg</name>
    <message>
        <source>Set Success</source>
        <translation>Einstellung erfolgreich</translation>
    </message>
    <message>
        <source>Reset Fail</source>
        <translation>Neustart fehlgeschlagen</translation>
    </message>
    <message>
        <source>Set Fail</source>
        <translation>Einstellung fehlgeschlagen</translation>
    </message>
</context>
<context>
    <name>Dialog 100</name>
    <message>
        <source>Access Point Management</source>
        <extracomment>Dialog &quot;Access Point Management&quot;: window title</extracomment>
        <translation>Zugangspunktverwaltung</translation>
    </message>
    <message>
        <source>Access Point Management icon</source>
        <extracomment>Dialog &quot;Access Point Management&quot;: name a screen reader gives the icon</extracomment>
        <translation>Symbol der Zugangspunktverwaltung</translation>
    </message>
    <message>
        <source>Access Point Management Version 1.0</source>
        <extracomment>Dialog &quot;Access Point Management&quot;: static text, 127 x 8 dialog units</extracomment>
        <translation>Zugangspunktverwaltung Version 1.0</translation>
    </message>
    <message>
        <source>Finds and sets up access points</source>
        <extracomment>Dialog &quot;Access Point Management&quot;: static text, 119 x 8 dialog units</extracomment>
        <translation>Zugangspunkte einrichten</translation>
    </message>
    <message>
        <source>OK</source>
        <extracomment>Dialog &quot;Access Point Management&quot;: push button, 50 x 14 dialog units</extracomment>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>Dialog 102</name>
    <message>
        <source>Access Point Management</source>
        <extracomment>Dialog &quot;Access Point Management&quot;: window title</extracomment>
        <translation>Zugangspunktverwaltung</translation>
    </message>
    <message>
        <source>Wireless Access Points</source>
        <extracomment>Dialog &quot;Access Point Management&quot;: name a screen reader gives the list
----------
Dialog &quot;Access Point Management&quot;: static text, 116 x 8 dialog units</extracomment>
        <translation>WLAN-Zugangspunkte</translation>
    </message>
    <message>
        <source>Refresh</source>
        <extracomment>Dialog &quot;Access Point Management&quot;: push button, 50 x 14 dialog units</extracomment>
        <translation>Neu suchen</translation>
    </message>
    <message>
        <source>Detail Info</source>
        <extracomment>Dialog &quot;Access Point Management&quot;: push button, 50 x 14 dialog units</extracomment>
        <translation>Details</translation>
    </message>
    <message>
        <source>Web Management</source>
        <extracomment>Dialog &quot;Access Point Management&quot;: push button, 64 x 14 dialog units</extracomment>
        <translation>Web-Verwaltung</translation>
    </message>
    <message>
        <source>Set IP Address</source>
        <extracomment>Dialog &quot;Access Point Management&quot;: push button, 57 x 14 dialog units</extracomment>
        <translation>IP festlegen</translation>
    </message>
    <message>
        <source>Exit</source>
        <extracomment>Dialog &quot;Access Point Management&quot;: push button, 50 x 14 dialog units</extracomment>
        <translation>Beenden</translation>
    </message>
</context>
<context>
    <name>Dialog 129</name>
    <message>
        <source>IP Configuration</source>
        <extracomment>Dialog &quot;IP Configuration&quot;: window title</extracomment>
        <translation>IP-Konfiguration</translation>
    </message>
    <message>
        <source>Static</source>
        <extracomment>Dialog &quot;IP Configuration&quot;: static text, 126 x 8 dialog units
----------
Dialog &quot;IP Configuration&quot;: static text, 129 x 8 dialog units</extracomment>
        <translation>Statisch</translation>
    </message>
    <message>
        <source>Dhcp client</source>
        <extracomment>Dialog &quot;IP Configuration&quot;: radio button, 65 x 10 dialog units</extracomment>
        <translation>DHCP-Client</translation>
    </message>
    <message>
        <source>Fixed</source>
        <extracomment>Dialog &quot;IP Configuration&quot;: radio button, 56 x 10 dialog units</extracomment>
        <translation>Fest</translation>
    </message>
    <message>
        <source>IP Address, octet 1</source>
        <extracomment>Dialog &quot;IP Configuration&quot;: name a screen reader gives the edit</extracomment>
        <translation>IP-Adresse, Oktett 1</translation>
    </message>
    <message>
        <source>IP Address, octet 2</source>
        <extracomment>Dialog &quot;IP Configuration&quot;: name a screen reader gives the edit</extracomment>
        <translation>IP-Adresse, Oktett 2</translation>
    </message>
    <message>
        <source>IP Address, octet 3</source>
        <extracomment>Dialog &quot;IP Configuration&quot;: name a screen reader gives the edit</extracomment>
        <translation>IP-Adresse, Oktett 3</translation>
    </message>
    <message>
        <source>IP Address, octet 4</source>
        <extracomment>Dialog &quot;IP Configuration&quot;: name a screen reader gives the edit</extracomment>
        <translation>IP-Adresse, Oktett 4</translation>
    </message>
    <message>
        <source>Subnet Mask, octet 1</source>
        <extracomment>Dialog &quot;IP Configuration&quot;: name a screen reader gives the edit</extracomment>
        <translation>Subnetzmaske, Oktett 1</translation>
    </message>
    <message>
        <source>Subnet Mask, octet 2</source>
        <extracomment>Dialog &quot;IP Configuration&quot;: name a screen reader gives the edit</extracomment>
        <translation>Subnetzmaske, Oktett 2</translation>
    </message>
    <message>
        <source>Subnet Mask, octet 3</source>
        <extracomment>Dialog &quot;IP Configuration&quot;: name a screen reader gives the edit</extracomment>
        <translation>Subnetzmaske, Oktett 3</translation>
    </message>
    <message>
        <source>Subnet Mask, octet 4</source>
        <extracomment>Dialog &quot;IP Configuration&quot;: name a screen reader gives the edit</extracomment>
        <translation>Subnetzmaske, Oktett 4</translation>
    </message>
    <message>
        <source>Gateway, octet 1</source>
        <extracomment>Dialog &quot;IP Configuration&quot;: name a screen reader gives the edit</extracomment>
        <translation>Gateway, Oktett 1</translation>
    </message>
    <message>
        <source>Gateway, octet 2</source>
        <extracomment>Dialog &quot;IP Configuration&quot;: name a screen reader gives the edit</extracomment>
        <translation>Gateway, Oktett 2</translation>
    </message>
    <message>
        <source>Gateway, octet 3</source>
        <extracomment>Dialog &quot;IP Configuration&quot;: name a screen reader gives the edit</extracomment>
        <translation>Gateway, Oktett 3</translation>
    </message>
    <message>
        <source>Gateway, octet 4</source>
        <extracomment>Dialog &quot;IP Configuration&quot;: name a screen reader gives the edit</extracomment>
        <translation>Gateway, Oktett 4</translation>
    </message>
    <message>
        <source>DNS, octet 1</source>
        <extracomment>Dialog &quot;IP Configuration&quot;: name a screen reader gives the edit</extracomment>
        <translation>DNS, Oktett 1</translation>
    </message>
    <message>
        <source>DNS, octet 2</source>
        <extracomment>Dialog &quot;IP Configuration&quot;: name a screen reader gives the edit</extracomment>
        <translation>DNS, Oktett 2</translation>
    </message>
    <message>
        <source>DNS, octet 3</source>
        <extracomment>Dialog &quot;IP Configuration&quot;: name a screen reader gives the edit</extracomment>
        <translation>DNS, Oktett 3</translation>
    </message>
    <message>
        <source>DNS, octet 4</source>
        <extracomment>Dialog &quot;IP Configuration&quot;: name a screen reader gives the edit</extracomment>
        <translation>DNS, Oktett 4</translation>
    </message>
    <message>
        <source>OK</source>
        <extracomment>Dialog &quot;IP Configuration&quot;: push button, 50 x 14 dialog units</extracomment>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <extracomment>Dialog &quot;IP Configuration&quot;: push button, 50 x 14 dialog units</extracomment>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Device Name:</source>
        <extracomment>Dialog &quot;IP Configuration&quot;: static text, 56 x 8 dialog units</extracomment>
        <translation>Gerätename:</translation>
    </message>
    <message>
        <source>Mac Address:</source>
        <extracomment>Dialog &quot;IP Configuration&quot;: static text, 55 x 8 dialog units</extracomment>
        <translation>MAC-Adresse:</translation>
    </message>
    <message>
        <source>IP Address</source>
        <extracomment>Dialog &quot;IP Configuration&quot;: group box title, 191 x 128 dialog units</extracomment>
        <translation>IP-Adresse</translation>
    </message>
    <message>
        <source>IP Address:</source>
        <extracomment>Dialog &quot;IP Configuration&quot;: static text, 45 x 8 dialog units</extracomment>
        <translation>IP-Adresse:</translation>
    </message>
    <message>
        <source>Subnet Mask:</source>
        <extracomment>Dialog &quot;IP Configuration&quot;: static text, 49 x 8 dialog units</extracomment>
        <translation>Netzmaske:</translation>
    </message>
    <message>
        <source>Gateway:</source>
        <extracomment>Dialog &quot;IP Configuration&quot;: static text, 44 x 8 dialog units</extracomment>
        <translation>Gateway:</translation>
    </message>
    <message>
        <source>DNS:</source>
        <extracomment>Dialog &quot;IP Configuration&quot;: static text, 33 x 8 dialog units</extracomment>
        <translation>DNS:</translation>
    </message>
</context>
<context>
    <name>Dialog 130</name>
    <message>
        <source>Detail Info</source>
        <extracomment>Dialog &quot;Detail Info&quot;: window title</extracomment>
        <translation>Details</translation>
    </message>
    <message>
        <source>OK</source>
        <extracomment>Dialog &quot;Detail Info&quot;: push button, 50 x 14 dialog units</extracomment>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>String table</name>
    <message>
        <source>&amp;About Access Point Management...</source>
        <extracomment>String 101 of the string table</extracomment>
        <translation>&amp;Über Zugangspunktverwaltung...</translation>
    </message>
    <message>
        <source>Name</source>
        <extracomment>String 102 of the string table</extracomment>
        <translation>Name</translation>
    </message>
    <message>
        <source>MAC</source>
        <extracomment>String 103 of the string table</extracomment>
        <translation>MAC</translation>
    </message>
    <message>
        <source>IP Address</source>
        <extracomment>String 104 of the string table</extracomment>
        <translation>IP-Adresse</translation>
    </message>
    <message>
        <source>Description</source>
        <extracomment>String 106 of the string table</extracomment>
        <translation>Beschreibung</translation>
    </message>
    <message>
        <source>FW Version</source>
        <extracomment>String 108 of the string table</extracomment>
        <translation>FW-Version</translation>
    </message>
    <message>
        <source>Wireless Access Point Management Utility Version 1.11</source>
        <extracomment>String 109 of the string table</extracomment>
        <translation>WLAN-Zugangspunktverwaltung Version 1.11</translation>
    </message>
    <message>
        <source>Invalid or missing data.</source>
        <extracomment>String 110 of the string table</extracomment>
        <translation>Ungültige oder fehlende Daten.</translation>
    </message>
    <message>
        <source>Value must be between 0 - 255.</source>
        <extracomment>String 111 of the string table</extracomment>
        <translation>Der Wert muss zwischen 0 und 255 liegen.</translation>
    </message>
    <message>
        <source>The specified file was not found.</source>
        <extracomment>String 112 of the string table</extracomment>
        <translation>Die angegebene Datei wurde nicht gefunden.</translation>
    </message>
    <message>
        <source>The specified path is invalid.</source>
        <extracomment>String 113 of the string table</extracomment>
        <translation>Der angegebene Pfad ist ungültig.</translation>
    </message>
    <message>
        <source>The .EXE file is invalid (non-Win32 .EXE or error in .EXE image).</source>
        <extracomment>String 114 of the string table</extracomment>
        <translation>Die .EXE-Datei ist ungültig (keine Win32-.EXE oder Fehler im .EXE-Abbild).</translation>
    </message>
    <message>
        <source>The operating system denied access to the specified file.</source>
        <extracomment>String 115 of the string table</extracomment>
        <translation>Das Betriebssystem hat den Zugriff auf die angegebene Datei verweigert.</translation>
    </message>
    <message>
        <source>The filename association is incomplete or invalid.</source>
        <extracomment>String 116 of the string table</extracomment>
        <translation>Die Zuordnung der Dateinamenerweiterung ist unvollständig oder ungültig.</translation>
    </message>
    <message>
        <source>The DDE transaction could not be completed because other DDE transactions were being processed.</source>
        <extracomment>String 117 of the string table</extracomment>
        <translation>Die DDE-Transaktion konnte nicht abgeschlossen werden, da andere DDE-Transaktionen verarbeitet wurden.</translation>
    </message>
    <message>
        <source>The DDE transaction failed.</source>
        <extracomment>String 118 of the string table</extracomment>
        <translation>Die DDE-Transaktion ist fehlgeschlagen.</translation>
    </message>
    <message>
        <source>The DDE transaction could not be completed because the request timed out.</source>
        <extracomment>String 119 of the string table</extracomment>
        <translation>Die DDE-Transaktion konnte nicht abgeschlossen werden, da bei der Anforderung eine Zeitüberschreitung auftrat.</translation>
    </message>
    <message>
        <source>The specified DLL file was not found.</source>
        <extracomment>String 120 of the string table</extracomment>
        <translation>Die angegebene DLL-Datei wurde nicht gefunden.</translation>
    </message>
    <message>
        <source>There is no application associated with the given filename extension.</source>
        <extracomment>String 121 of the string table</extracomment>
        <translation>Der angegebenen Dateinamenerweiterung ist keine Anwendung zugeordnet.</translation>
    </message>
    <message>
        <source>There was not enough memory to complete the operation.</source>
        <extracomment>String 122 of the string table</extracomment>
        <translation>Für diesen Vorgang ist nicht genügend Arbeitsspeicher verfügbar.</translation>
    </message>
    <message>
        <source>A sharing violation occurred, unable to continue.</source>
        <extracomment>String 123 of the string table</extracomment>
        <translation>Eine Freigabeverletzung ist aufgetreten; der Vorgang kann nicht fortgesetzt werden.</translation>
    </message>
    <message>
        <source>Data saved successfully.</source>
        <extracomment>String 124 of the string table</extracomment>
        <translation>Die Daten wurden gespeichert.</translation>
    </message>
    <message>
        <source>Reset Failed.</source>
        <extracomment>String 125 of the string table</extracomment>
        <translation>Neustart fehlgeschlagen.</translation>
    </message>
    <message>
        <source>Unable to save.</source>
        <extracomment>String 126 of the string table</extracomment>
        <translation>Speichern nicht möglich.</translation>
    </message>
    <message>
        <source>IEEE Standard</source>
        <extracomment>String 127 of the string table</extracomment>
        <translation>IEEE-Standard</translation>
    </message>
    <message>
        <source>No help viewer could show the manual page apmanager(1). In a terminal: man apmanager</source>
        <extracomment>String 128 of the string table</extracomment>
        <translation>Kein Hilfeprogramm konnte die Handbuchseite apmanager(1) anzeigen. Im Terminal: man apmanager</translation>
    </message>
</context>
</TS>
