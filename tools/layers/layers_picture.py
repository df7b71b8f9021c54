#!/usr/bin/env python3
"""The README's picture of the layers (docs/layers.png), drawn from cmake/layers.cmake.

Each layer is a box in its tree (src/app on top, src/gui, src/core, the layers below and
tools/demo); an arrow runs from a layer to each layer it may include, left out where a longer path already reaches the same
layer. A window's arrows into the core are drawn once, to the core's box.
  tools/layers/layers_picture.py [picture.png]   (needs cmake and graphviz's dot)
"""
import os
import subprocess
import sys
import tempfile

root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "docs", "layers.png")

script = f"""cmake_minimum_required(VERSION 3.25)
include({root}/cmake/layers.cmake)
foreach(l ${{RENUMBER_LAYERS}})
  message("${{l}}=${{RENUMBER_ALLOWED_${{l}}}}")
endforeach()
"""
with tempfile.NamedTemporaryFile("w", suffix=".cmake", delete=False) as f:
    f.write(script)
lines = subprocess.run(["cmake", "-P", f.name], capture_output=True, text=True, check=True).stderr
os.unlink(f.name)
uses = {}
for line in lines.splitlines():
    if "=" in line:
        layer, allowed = line.split("=", 1)
        uses[layer] = [u for u in allowed.split(";") if u]
uses["app"] = sorted(uses)  # the start-up and the wiring see every layer


def reach(start, skip):
    """The layers reached from start by a path, without the direct step to skip."""
    seen, todo = set(), [u for u in uses.get(start, []) if u != skip]
    while todo:
        u = todo.pop()
        if u not in seen:
            seen.add(u)
            todo.extend(uses.get(u, []))
    return seen


def group(layer):
    if layer == "app":
        return "src/app"
    if layer.startswith("gui/"):
        return "src/gui"
    if layer.startswith("core/"):
        return "src/core"
    if layer.startswith("tools/"):
        return "tools"
    return "src: below the core"


def name(layer):
    return layer.split("/", 1)[1] if "/" in layer and not layer.startswith("tools/") else layer


dot = ["digraph layers {", "  rankdir=TB; compound=true; nodesep=0.25; ranksep=0.45;",
       '  node [shape=box, style="rounded,filled", fillcolor=white, fontname="Helvetica", fontsize=11];',
       '  edge [color="#555555", arrowsize=0.6];']
colors = {"src/app": "#f3e5d8", "src/gui": "#dbe8f5", "src/core": "#e2f0d9", "src: below the core": "#eeeeee", "tools": "#f5f0d0"}
for g in colors:
    members = [layer for layer in uses if group(layer) == g]
    dot.append(f'  subgraph "cluster_{g}" {{ label="{g}"; style=filled; color="{colors[g]}"; fontname="Helvetica";')
    for layer in members:
        dot.append(f'    "{layer}" [label="{name(layer)}"];')
    dot.append("  }")
core = [layer for layer in uses if layer.startswith("core/")]
# The window arrows into the core end at its top layer (the one no other layer of the core uses).
anchor = next(c for c in core if not any(c in uses[o] for o in core))
for layer, allowed in uses.items():
    drawn_core = False
    for u in allowed:
        if u in reach(layer, u):
            continue  # a longer path reaches it
        if layer.startswith("gui/") or layer == "app":
            if u.startswith("core/") and len([c for c in allowed if c.startswith("core/")]) == len(core):
                if not drawn_core:
                    dot.append(f'  "{layer}" -> "{anchor}" [lhead="cluster_src/core"];')
                    drawn_core = True
                continue
        dot.append(f'  "{layer}" -> "{u}";')
dot.append("}")
subprocess.run(["dot", "-Tpng", "-Gdpi=96", "-o", out], input="\n".join(dot), text=True, check=True)
print(out)
