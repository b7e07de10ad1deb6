#pragma once

// Creates (true) or removes (false) the program's Start-menu folder
// "Velmora" with "Velmora.lnk" and "Uninstall.lnk", and records the choice
// as "IconsVisible" in the program's install information when that key can
// be written.
void SetStartMenuIcons(bool visible);
