#!/usr/bin/env python3
"""Writes base classes for the test doubles of the Direct3D object and device: every interface
method is overridden to fail (or return 0), so a test double overrides only what it serves and
keeps compiling when the interface grows."""
import re
import sys

src = open(sys.argv[1]).read()
out = ["// Generated from d3d8.h by gen_fake_base.py; do not edit.", "#pragma once",
       '#include "platform/d3d8/d3d8.h"', ""]

for iface in ["IDirect3D8", "IDirect3DDevice8"]:
    body = re.search(r"struct " + iface + r" : \w+ \{(.*?)\n\};", src, re.S).group(1)
    out.append("struct Failing%s : RefCounted<%s> {" % (iface[1:], iface))
    for decl in re.findall(r"virtual (.*?) = 0;", body, re.S):
        decl = re.sub(r"\s+", " ", decl)
        ret = decl.split("(")[0].rsplit(" ", 1)[0].strip()
        if ret == "HRESULT":
            stmt = "return D3DERR_INVALIDCALL;"
        elif ret == "void":
            stmt = ""
        elif ret.endswith("*") or ret.startswith("H"):
            stmt = "return {};"
        else:
            stmt = "return 0;"
        out.append("    %s override { %s }" % (decl, stmt))
    out.append("};")
    out.append("")
open(sys.argv[2], "w").write("\n".join(out) + "\n")
