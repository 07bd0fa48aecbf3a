<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr">
<context>
    <name>CDetailInfoDlg</name>
    <message>
        <source>SSID for b:</source>
        <translation>SSID pour b&#xa0;:</translation>
    </message>
    <message>
        <source>Channel for b:</source>
        <translation>Canal pour b&#xa0;:</translation>
    </message>
    <message>
        <source>SSID for g:</source>
        <translation>SSID pour g&#xa0;:</translation>
    </message>
    <message>
        <source>Channel for g:</source>
        <translation>Canal pour g&#xa0;:</translation>
    </message>
    <message>
        <source>SSID for b+g:</source>
        <translation>SSID pour b+g&#xa0;:</translation>
    </message>
    <message>
        <source>Channel for b+g:</source>
        <translation>Canal pour b+g&#xa0;:</translation>
    </message>
    <message>
        <source>Name:</source>
        <translation>Nom&#xa0;:</translation>
    </message>
    <message>
        <source>Mac:</source>
        <translation>MAC&#xa0;:</translation>
    </message>
    <message>
        <source>IP Address:</source>
        <translation>Adresse IP&#xa0;:</translation>
    </message>
    <message>
        <source>Description:</source>
        <translation>Description&#xa0;:</translation>
    </message>
    <message>
        <source>Version:</source>
        <translation>Version&#xa0;:</translation>
    </message>
    <message>
        <source>SSID for a:</source>
        <translation>SSID pour a&#xa0;:</translation>
    </message>
    <message>
        <source>Channel for a:</source>
        <translation>Canal pour a&#xa0;:</translation>
    </message>
</context>
<context>
    <name>CIpConfigDlg</name>
    <message>
        <source>Set Success</source>
        <translation>Configuration réussie</translation>
    </message>
    <message>
        <source>Reset Fail</source>
        <translation>Échec du redémarrage</translation>
    </message>
    <message>
        <source>Set Fail</source>
        <translation>Échec de la configuration</translation>
    </message>
</context>
<context>
    <name>Dialog 100</name>
    <message>
        <source>Access Point Management</source>
        <extracomment>Dialog &quot;Access Point Management&quot;: window title</extracomment>
        <translation>Gestion des points d&apos;accès</translation>
    </message>
    <message>
        <source>Access Point Management icon</source>
        <extracomment>Dialog &quot;Access Point Management&quot;: name a screen reader gives the icon</extracomment>
        <translation>Icône de la gestion des points d&apos;accès</translation>
    </message>
    <message>
        <source>Access Point Management Version 1.0</source>
        <extracomment>Dialog &quot;Access Point Management&quot;: static text, 127 x 8 dialog units</extracomment>
        <translation>Gestion des points d&apos;accès 1.0</translation>
    </message>
    <message>
        <source>Finds and sets up access points</source>
        <extracomment>Dialog &quot;Access Point Management&quot;: static text, 119 x 8 dialog units</extracomment>
        <translation>Trouve et configure les points d&apos;accès</translation>
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
        <translation>Gestion des points d&apos;accès</translation>
    </message>
    <message>
        <source>Wireless Access Points</source>
        <extracomment>Dialog &quot;Access Point Management&quot;: name a screen reader gives the list
----------
Dialog &quot;Access Point Management&quot;: static text, 116 x 8 dialog units</extracomment>
        <translation>Points d&apos;accès sans fil</translation>
    </message>
    <message>
        <source>Refresh</source>
        <extracomment>Dialog &quot;Access Point Management&quot;: push button, 50 x 14 dialog units</extracomment>
        <translation>Actualiser</translation>
    </message>
    <message>
        <source>Detail Info</source>
        <extracomment>Dialog &quot;Access Point Management&quot;: push button, 50 x 14 dialog units</extracomment>
        <translation>Détails</translation>
    </message>
    <message>
        <source>Web Management</source>
        <extracomment>Dialog &quot;Access Point Management&quot;: push button, 64 x 14 dialog units</extracomment>
        <translation>Gestion Web</translation>
    </message>
    <message>
        <source>Set IP Address</source>
        <extracomment>Dialog &quot;Access Point Management&quot;: push button, 57 x 14 dialog units</extracomment>
        <translation>Définir l&apos;IP</translation>
    </message>
    <message>
        <source>Exit</source>
        <extracomment>Dialog &quot;Access Point Management&quot;: push button, 50 x 14 dialog units</extracomment>
        <translation>Quitter</translation>
    </message>
</context>
<context>
    <name>Dialog 129</name>
    <message>
        <source>IP Configuration</source>
        <extracomment>Dialog &quot;IP Configuration&quot;: window title</extracomment>
        <translation>Configuration IP</translation>
    </message>
    <message>
        <source>Static</source>
        <extracomment>Dialog &quot;IP Configuration&quot;: static text, 126 x 8 dialog units
----------
Dialog &quot;IP Configuration&quot;: static text, 129 x 8 dialog units</extracomment>
        <translation>Statique</translation>
    </message>
    <message>
        <source>Dhcp client</source>
        <extracomment>Dialog &quot;IP Configuration&quot;: radio button, 65 x 10 dialog units</extracomment>
        <translation>Client DHCP</translation>
    </message>
    <message>
        <source>Fixed</source>
        <extracomment>Dialog &quot;IP Configuration&quot;: radio button, 56 x 10 dialog units</extracomment>
        <translation>Fixe</translation>
    </message>
    <message>
        <source>IP Address, octet 1</source>
        <extracomment>Dialog &quot;IP Configuration&quot;: name a screen reader gives the edit</extracomment>
        <translation>Adresse IP, octet 1</translation>
    </message>
    <message>
        <source>IP Address, octet 2</source>
        <extracomment>Dialog &quot;IP Configuration&quot;: name a screen reader gives the edit</extracomment>
        <translation>Adresse IP, octet 2</translation>
    </message>
    <message>
        <source>IP Address, octet 3</source>
        <extracomment>Dialog &quot;IP Configuration&quot;: name a screen reader gives the edit</extracomment>
        <translation>Adresse IP, octet 3</translation>
    </message>
    <message>
        <source>IP Address, octet 4</source>
        <extracomment>Dialog &quot;IP Configuration&quot;: name a screen reader gives the edit</extracomment>
        <translation>Adresse IP, octet 4</translation>
    </message>
    <message>
        <source>Subnet Mask, octet 1</source>
        <extracomment>Dialog &quot;IP Configuration&quot;: name a screen reader gives the edit</extracomment>
        <translation>Masque de sous-réseau, octet 1</translation>
    </message>
    <message>
        <source>Subnet Mask, octet 2</source>
        <extracomment>Dialog &quot;IP Configuration&quot;: name a screen reader gives the edit</extracomment>
        <translation>Masque de sous-réseau, octet 2</translation>
    </message>
    <message>
        <source>Subnet Mask, octet 3</source>
        <extracomment>Dialog &quot;IP Configuration&quot;: name a screen reader gives the edit</extracomment>
        <translation>Masque de sous-réseau, octet 3</translation>
    </message>
    <message>
        <source>Subnet Mask, octet 4</source>
        <extracomment>Dialog &quot;IP Configuration&quot;: name a screen reader gives the edit</extracomment>
        <translation>Masque de sous-réseau, octet 4</translation>
    </message>
    <message>
        <source>Gateway, octet 1</source>
        <extracomment>Dialog &quot;IP Configuration&quot;: name a screen reader gives the edit</extracomment>
        <translation>Passerelle, octet 1</translation>
    </message>
    <message>
        <source>Gateway, octet 2</source>
        <extracomment>Dialog &quot;IP Configuration&quot;: name a screen reader gives the edit</extracomment>
        <translation>Passerelle, octet 2</translation>
    </message>
    <message>
        <source>Gateway, octet 3</source>
        <extracomment>Dialog &quot;IP Configuration&quot;: name a screen reader gives the edit</extracomment>
        <translation>Passerelle, octet 3</translation>
    </message>
    <message>
        <source>Gateway, octet 4</source>
        <extracomment>Dialog &quot;IP Configuration&quot;: name a screen reader gives the edit</extracomment>
        <translation>Passerelle, octet 4</translation>
    </message>
    <message>
        <source>DNS, octet 1</source>
        <extracomment>Dialog &quot;IP Configuration&quot;: name a screen reader gives the edit</extracomment>
        <translation>DNS, octet 1</translation>
    </message>
    <message>
        <source>DNS, octet 2</source>
        <extracomment>Dialog &quot;IP Configuration&quot;: name a screen reader gives the edit</extracomment>
        <translation>DNS, octet 2</translation>
    </message>
    <message>
        <source>DNS, octet 3</source>
        <extracomment>Dialog &quot;IP Configuration&quot;: name a screen reader gives the edit</extracomment>
        <translation>DNS, octet 3</translation>
    </message>
    <message>
        <source>DNS, octet 4</source>
        <extracomment>Dialog &quot;IP Configuration&quot;: name a screen reader gives the edit</extracomment>
        <translation>DNS, octet 4</translation>
    </message>
    <message>
        <source>OK</source>
        <extracomment>Dialog &quot;IP Configuration&quot;: push button, 50 x 14 dialog units</extracomment>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <extracomment>Dialog &quot;IP Configuration&quot;: push button, 50 x 14 dialog units</extracomment>
        <translation>Annuler</translation>
    </message>
    <message>
        <source>Device Name:</source>
        <extracomment>Dialog &quot;IP Configuration&quot;: static text, 56 x 8 dialog units</extracomment>
        <translation>Appareil&#xa0;:</translation>
    </message>
    <message>
        <source>Mac Address:</source>
        <extracomment>Dialog &quot;IP Configuration&quot;: static text, 55 x 8 dialog units</extracomment>
        <translation>Adresse MAC&#xa0;:</translation>
    </message>
    <message>
        <source>IP Address</source>
        <extracomment>Dialog &quot;IP Configuration&quot;: group box title, 191 x 128 dialog units</extracomment>
        <translation>Adresse IP</translation>
    </message>
    <message>
        <source>IP Address:</source>
        <extracomment>Dialog &quot;IP Configuration&quot;: static text, 45 x 8 dialog units</extracomment>
        <translation>Adresse IP&#xa0;:</translation>
    </message>
    <message>
        <source>Subnet Mask:</source>
        <extracomment>Dialog &quot;IP Configuration&quot;: static text, 49 x 8 dialog units</extracomment>
        <translation>Masque&#xa0;:</translation>
    </message>
    <message>
        <source>Gateway:</source>
        <extracomment>Dialog &quot;IP Configuration&quot;: static text, 44 x 8 dialog units</extracomment>
        <translation>Passerelle&#xa0;:</translation>
    </message>
    <message>
        <source>DNS:</source>
        <extracomment>Dialog &quot;IP Configuration&quot;: static text, 33 x 8 dialog units</extracomment>
        <translation>DNS&#xa0;:</translation>
    </message>
</context>
<context>
    <name>Dialog 130</name>
    <message>
        <source>Detail Info</source>
        <extracomment>Dialog &quot;Detail Info&quot;: window title</extracomment>
        <translation>Détails</translation>
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
        <translation>À &amp;propos de la gestion des points d&apos;accès...</translation>
    </message>
    <message>
        <source>Name</source>
        <extracomment>String 102 of the string table</extracomment>
        <translation>Nom</translation>
    </message>
    <message>
        <source>MAC</source>
        <extracomment>String 103 of the string table</extracomment>
        <translation>MAC</translation>
    </message>
    <message>
        <source>IP Address</source>
        <extracomment>String 104 of the string table</extracomment>
        <translation>Adresse IP</translation>
    </message>
    <message>
        <source>Description</source>
        <extracomment>String 106 of the string table</extracomment>
        <translation>Description</translation>
    </message>
    <message>
        <source>FW Version</source>
        <extracomment>String 108 of the string table</extracomment>
        <translation>Version FW</translation>
    </message>
    <message>
        <source>Wireless Access Point Management Utility Version 1.11</source>
        <extracomment>String 109 of the string table</extracomment>
        <translation>Gestion des points d&apos;accès sans fil version 1.11</translation>
    </message>
    <message>
        <source>Invalid or missing data.</source>
        <extracomment>String 110 of the string table</extracomment>
        <translation>Données non valides ou manquantes.</translation>
    </message>
    <message>
        <source>Value must be between 0 - 255.</source>
        <extracomment>String 111 of the string table</extracomment>
        <translation>La valeur doit être comprise entre 0 et 255.</translation>
    </message>
    <message>
        <source>The specified file was not found.</source>
        <extracomment>String 112 of the string table</extracomment>
        <translation>Le fichier spécifié est introuvable.</translation>
    </message>
    <message>
        <source>The specified path is invalid.</source>
        <extracomment>String 113 of the string table</extracomment>
        <translation>Le chemin spécifié n&apos;est pas valide.</translation>
    </message>
    <message>
        <source>The .EXE file is invalid (non-Win32 .EXE or error in .EXE image).</source>
        <extracomment>String 114 of the string table</extracomment>
        <translation>Le fichier .EXE n&apos;est pas valide (.EXE non Win32 ou erreur dans l&apos;image .EXE).</translation>
    </message>
    <message>
        <source>The operating system denied access to the specified file.</source>
        <extracomment>String 115 of the string table</extracomment>
        <translation>Le système d&apos;exploitation a refusé l&apos;accès au fichier spécifié.</translation>
    </message>
    <message>
        <source>The filename association is incomplete or invalid.</source>
        <extracomment>String 116 of the string table</extracomment>
        <translation>L&apos;association du nom de fichier est incomplète ou non valide.</translation>
    </message>
    <message>
        <source>The DDE transaction could not be completed because other DDE transactions were being processed.</source>
        <extracomment>String 117 of the string table</extracomment>
        <translation>La transaction DDE n&apos;a pas pu aboutir, car d&apos;autres transactions DDE étaient en cours de traitement.</translation>
    </message>
    <message>
        <source>The DDE transaction failed.</source>
        <extracomment>String 118 of the string table</extracomment>
        <translation>La transaction DDE a échoué.</translation>
    </message>
    <message>
        <source>The DDE transaction could not be completed because the request timed out.</source>
        <extracomment>String 119 of the string table</extracomment>
        <translation>La transaction DDE n&apos;a pas pu aboutir, car le délai de la requête a expiré.</translation>
    </message>
    <message>
        <source>The specified DLL file was not found.</source>
        <extracomment>String 120 of the string table</extracomment>
        <translation>Le fichier DLL spécifié est introuvable.</translation>
    </message>
    <message>
        <source>There is no application associated with the given filename extension.</source>
        <extracomment>String 121 of the string table</extracomment>
        <translation>Aucune application n&apos;est associée à l&apos;extension de nom de fichier indiquée.</translation>
    </message>
    <message>
        <source>There was not enough memory to complete the operation.</source>
        <extracomment>String 122 of the string table</extracomment>
        <translation>Mémoire insuffisante pour terminer l&apos;opération.</translation>
    </message>
    <message>
        <source>A sharing violation occurred, unable to continue.</source>
        <extracomment>String 123 of the string table</extracomment>
        <translation>Une violation de partage s&apos;est produite, impossible de continuer.</translation>
    </message>
    <message>
        <source>Data saved successfully.</source>
        <extracomment>String 124 of the string table</extracomment>
        <translation>Les données ont été enregistrées.</translation>
    </message>
    <message>
        <source>Reset Failed.</source>
        <extracomment>String 125 of the string table</extracomment>
        <translation>Échec du redémarrage.</translation>
    </message>
    <message>
        <source>Unable to save.</source>
        <extracomment>String 126 of the string table</extracomment>
        <translation>Impossible d&apos;enregistrer.</translation>
    </message>
    <message>
        <source>IEEE Standard</source>
        <extracomment>String 127 of the string table</extracomment>
        <translation>Norme IEEE</translation>
    </message>
    <message>
        <source>No help viewer could show the manual page apmanager(1). In a terminal: man apmanager</source>
        <extracomment>String 128 of the string table</extracomment>
        <translation>Aucun visualiseur d&apos;aide n&apos;a pu afficher la page de manuel apmanager(1). Dans un terminal&#xa0;: man apmanager</translation>
    </message>
</context>
</TS>
