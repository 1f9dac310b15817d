"""The library's 25 exports through ctypes.

The declarations follow include/tessavo/tessavo.h; every function uses the C calling
convention (ctypes.CDLL), on 32-bit Windows too. The library is looked for, in this order:
the file named by the TESSAVO_LIBRARY environment variable, the folders the build or the
installation wrote into _location.py (relative to this package: the build tree, or the
installation prefix's library folder), then the system's own search.
"""

import ctypes
import os
import sys
from pathlib import Path

from . import _location, _tables

H = {name[len("TESSAVO_"):]: value for name, value in _tables.HEADER.items()}

c_void_p, c_bool = ctypes.c_void_p, ctypes.c_bool
c_int32, c_uint32 = ctypes.c_int32, ctypes.c_uint32
c_int32_p = ctypes.POINTER(ctypes.c_int32)


class ItemTime(ctypes.Structure):
    _pack_ = 1
    _fields_ = [("seconds", c_int32), ("microseconds", c_int32)]


class DecodeParam(ctypes.Structure):
    _pack_ = 1
    _fields_ = [("state", c_int32), ("id", c_uint32), ("value", c_int32), ("scale", c_int32)]


class DecodeStructParam(ctypes.Structure):
    _pack_ = 1
    _fields_ = [("state", c_int32), ("id", c_uint32), ("length", c_uint32), ("data", c_uint32)]


assert ctypes.sizeof(ItemTime) == 8
assert ctypes.sizeof(DecodeParam) == ctypes.sizeof(DecodeStructParam) == 16

_ITEM = [c_void_p, c_int32]
_PROTOTYPES = {
    "CreateDecoderObjectProc": (c_void_p, [c_uint32]),
    "SetDecoderConfiguration": (c_bool, [c_void_p, c_int32]),
    "ClearReportItemsProc": (c_bool, [c_void_p]),
    "FreeDecoderObjectProc": (c_bool, [ctypes.POINTER(c_void_p)]),
    "DecodeMsgProc": (c_bool, [c_void_p, c_void_p, c_int32, c_int32, c_int32]),
    "DecodeMsgProc_NoDynamic": (c_int32, [c_void_p, c_void_p, c_int32, c_int32, c_int32]),
    "DecodeMsgProc_One": (c_uint32, [c_void_p, c_void_p, c_int32, c_int32, c_int32]),
    "GetReportItemCountProc": (c_int32, [c_void_p]),
    "GetReportItemProc": (c_void_p, _ITEM),
    "GetReportItemMsgCode": (c_uint32, _ITEM),
    "GetReportItemMsgDirection": (c_uint32, _ITEM),
    "GetReportItemMsgTime": (c_void_p, _ITEM),
    "GetReportItemBinary": (c_void_p, _ITEM),
    "GetReportItemBinaryToZelFilter": (c_void_p, _ITEM),
    "GetReportItemBinaryToZelSimple": (c_void_p, _ITEM),
    "GetReportItemDTLogBinary": (c_void_p, _ITEM),
    "GetReportItemOutFileBinary": (c_void_p, [c_void_p, c_int32_p, c_int32]),
    "GetReportItemCurDecodeParamCount": (c_uint32, _ITEM),
    "GetReportItemInheritDecodeParamCount": (c_uint32, _ITEM),
    "GetReportItemCurDecodeParamList": (c_void_p, [c_void_p, c_int32, c_int32]),
    "GetReportItemInheritDecodeParamList": (c_void_p, [c_void_p, c_int32, c_int32]),
    "GetReportItemCurDecodeStructParamCount": (c_uint32, _ITEM),
    "GetReportItemInheritDecodeStructParamCount": (c_uint32, _ITEM),
    "GetReportItemCurDecodeStructParamList": (c_void_p, [c_void_p, c_int32, c_int32]),
    "GetReportItemInheritDecodeStructParamList": (c_void_p, [c_void_p, c_int32, c_int32]),
}
assert len(_PROTOTYPES) == 25


def library_names():
    major = H["VERSION_MAJOR"]
    if sys.platform == "win32":
        return ["Tessavo.dll"]
    if sys.platform == "darwin":
        return [f"libtessavo.{major}.dylib", "libtessavo.dylib"]
    return [f"libtessavo.so.{major}", "libtessavo.so"]


def _candidates():
    explicit = os.environ.get("TESSAVO_LIBRARY")
    if explicit:
        return [explicit]
    here = Path(__file__).resolve().parent
    found = []
    for folder in _location.LIBRARY_DIRS:
        for name in library_names():
            path = (here / folder / name).resolve()
            if path.exists():
                found.append(str(path))
    return found + library_names()


def _load():
    tried = []
    for candidate in _candidates():
        try:
            if sys.platform == "win32" and os.path.isabs(candidate):
                os.add_dll_directory(os.path.dirname(candidate))
            library = ctypes.CDLL(candidate)
        except OSError as error:
            tried.append(f"{candidate}: {error}")
            continue
        for name, (restype, argtypes) in _PROTOTYPES.items():
            function = getattr(library, name)
            function.restype, function.argtypes = restype, argtypes
        library.path = candidate
        return library
    raise OSError("the Tessavo library was not found; tried:\n  " + "\n  ".join(tried))


lib = _load()
