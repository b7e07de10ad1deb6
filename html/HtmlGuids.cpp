// The MSHTML interface and event ids that mingw-w64's import libraries do
// not carry (the painter, behaviour, designer and change-sink interfaces,
// HTMLDocumentEvents2) are defined here from the SDK header, once. The
// definitions are "select any", so an id that a library also has is not
// defined twice.
#include <windows.h>
#include <ole2.h>

#include <initguid.h>

#include <mshtml.h>

// The command group of MSHTML's editing commands (IDM_*); the header only
// declares it.
EXTERN_C const GUID CGID_MSHTML = {0xde4ba900, 0x59ca, 0x11cf, {0x95, 0x92, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
