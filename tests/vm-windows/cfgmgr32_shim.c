/* A test-only cfgmgr32.dll for the Windows VM test, never shipped. Wine 8's
 * cfgmgr32 lacks CM_Get_Device_Interface_PropertyW, which hidapi's Windows
 * backend resolves when it starts (without it hidapi gives up), and its
 * CM_Get_Device_Interface_List(_Size)W are stubs, so hidapi would list no
 * device. This DLL gives the three from SetupAPI, which wine implements;
 * cfgmgr32.def forwards the rest to wine's setupapi, as wine's own cfgmgr32
 * does. Loaded only beside the test's programs with
 * WINEDLLOVERRIDES="cfgmgr32=n,b". */

#define _CFGMGR32_ /* this is cfgmgr32: its functions are defined here, not imported */
#include <windows.h>
#include <initguid.h> /* defines the property keys here */
#include <cfgmgr32.h>
#include <devpkey.h>
#include <setupapi.h>

CONFIGRET WINAPI CM_Get_Device_Interface_PropertyW(LPCWSTR path, const DEVPROPKEY* key,
                                                   DEVPROPTYPE* type, PBYTE buffer,
                                                   PULONG size, ULONG flags) {
    if (!path || !key || !type || !size || flags)
        return CR_INVALID_POINTER;
    if (memcmp(key, &DEVPKEY_Device_InstanceId, sizeof(*key)) != 0)
        return CR_NO_SUCH_VALUE;
    HDEVINFO set = SetupDiCreateDeviceInfoList(NULL, NULL);
    if (set == INVALID_HANDLE_VALUE)
        return CR_OUT_OF_MEMORY;
    SP_DEVICE_INTERFACE_DATA iface = {sizeof(iface)};
    SP_DEVINFO_DATA device = {sizeof(device)};
    WCHAR id[MAX_DEVICE_ID_LEN];
    DWORD chars = 0;
    CONFIGRET result = CR_NO_SUCH_DEVICE_INTERFACE;
    if (SetupDiOpenDeviceInterfaceW(set, path, 0, &iface) &&
        (SetupDiGetDeviceInterfaceDetailW(set, &iface, NULL, 0, NULL, &device) ||
         GetLastError() == ERROR_INSUFFICIENT_BUFFER) &&
        SetupDiGetDeviceInstanceIdW(set, &device, id, MAX_DEVICE_ID_LEN, &chars)) {
        const ULONG bytes = (ULONG)((lstrlenW(id) + 1) * sizeof(WCHAR));
        *type = DEVPROP_TYPE_STRING;
        if (!buffer || *size < bytes) {
            result = CR_BUFFER_SMALL;
        } else {
            memcpy(buffer, id, bytes);
            result = CR_SUCCESS;
        }
        *size = bytes;
    }
    SetupDiDestroyDeviceInfoList(set);
    return result;
}

/* The paths of the present interfaces of a class, one after the other, each
 * ended by a NUL, the list by one more. `needed` gets its length in
 * characters; `list` (when given) gets the list if `capacity` holds it. */
static CONFIGRET InterfacePaths(const GUID* guid, WCHAR* list, ULONG capacity, ULONG* needed) {
    HDEVINFO set = SetupDiGetClassDevsW(guid, NULL, NULL, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE)
        return CR_FAILURE;
    ULONG used = 0;
    SP_DEVICE_INTERFACE_DATA iface = {sizeof(iface)};
    for (DWORD i = 0; SetupDiEnumDeviceInterfaces(set, NULL, guid, i, &iface); ++i) {
        DWORD size = 0;
        SetupDiGetDeviceInterfaceDetailW(set, &iface, NULL, 0, &size, NULL);
        SP_DEVICE_INTERFACE_DETAIL_DATA_W* detail = HeapAlloc(GetProcessHeap(), 0, size);
        if (!detail)
            break;
        detail->cbSize = sizeof(*detail);
        if (SetupDiGetDeviceInterfaceDetailW(set, &iface, detail, size, NULL, NULL)) {
            const ULONG chars = (ULONG)lstrlenW(detail->DevicePath) + 1;
            if (list && used + chars < capacity) /* room for the final NUL too */
                memcpy(list + used, detail->DevicePath, chars * sizeof(WCHAR));
            used += chars;
        }
        HeapFree(GetProcessHeap(), 0, detail);
    }
    SetupDiDestroyDeviceInfoList(set);
    used += 1;
    if (needed)
        *needed = used;
    if (!list)
        return CR_SUCCESS;
    if (used > capacity)
        return CR_BUFFER_SMALL;
    list[used - 1] = 0;
    return CR_SUCCESS;
}

CONFIGRET WINAPI CM_Get_Device_Interface_List_SizeW(PULONG length, LPGUID guid, DEVINSTID_W device,
                                                    ULONG flags) {
    if (!length || !guid || device || flags != CM_GET_DEVICE_INTERFACE_LIST_PRESENT)
        return CR_INVALID_POINTER;
    return InterfacePaths(guid, NULL, 0, length);
}

CONFIGRET WINAPI CM_Get_Device_Interface_ListW(LPGUID guid, DEVINSTID_W device, PZZWSTR list,
                                               ULONG length, ULONG flags) {
    if (!guid || !list || device || flags != CM_GET_DEVICE_INTERFACE_LIST_PRESENT)
        return CR_INVALID_POINTER;
    return InterfacePaths(guid, list, length, NULL);
}
