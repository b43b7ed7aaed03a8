#!/usr/bin/env bash
# Renders the cells layer of a coverage GeoPackage with the style stored in
# the file itself, the way QGIS opens it when the file is dropped into it:
# QGIS (Debian's qgis / python3-qgis, installed here when missing) loads the
# layer with its default style from layer_styles, headless
# (QT_QPA_PLATFORM=offscreen), and draws it into a PNG. Outside CI: QGIS is
# large. Without a GeoPackage it makes one from generated drives of two
# frequencies with a level threshold.
# Usage: bench/qgis_render.sh [OUT.png [FILE.gpkg]]   (default docs/coverage/cells-qgis.png)
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/coverage/cells-qgis.png}
gpkg=${2:-}
build=${BUILD_DIR:-build}
if ! /usr/bin/python3 -c 'import qgis.core' 2>/dev/null; then
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends qgis python3-qgis >/dev/null
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [ -z "$gpkg" ]; then
  cmake -S . -B "$build" -G Ninja >/dev/null
  cmake --build "$build" --target fieldtrace-cli >/dev/null
  cli=$build/tools/cli/fieldtrace-cli
  mkdir -p "$work/d"
  files=()
  for seed in 21 22 23; do
    files+=("$("$cli" generate --samples 1500 --seed $seed --speed 30 --description "Drive $seed" --out "$work/d")")
  done
  gpkg=$work/coverage.gpkg
  "$cli" export "${files[@]}" -o "$gpkg" --threshold "Level=62 dBµV" >&2
fi
mkdir -p "$(dirname "$out")"
chmod 700 "$work"
QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$work /usr/bin/python3 - "$gpkg" "$out" <<'PY'
import os, sys
from qgis.core import (QgsApplication, QgsVectorLayer, QgsMapSettings, QgsMapRendererParallelJob, QgsRenderContext)
from qgis.PyQt.QtCore import QSize
from qgis.PyQt.QtGui import QColor, QPainter, QFont

gpkg, out = sys.argv[1], sys.argv[2]
app = QgsApplication([], False)
app.initQgis()
# The level channel only: the rows of the other channels lie on the same cells.
layer = QgsVectorLayer(gpkg + "|layername=cells", "cells", "ogr")
assert layer.isValid(), "the cells layer does not open"
renderer = layer.renderer()
# Opened as QGIS opens it: the stored default style must already be there.
assert renderer.type() == "categorizedSymbol" and renderer.classAttribute() == "class", renderer.type()
layer.setSubsetString("channel LIKE 'Level%'")
settings = QgsMapSettings()
settings.setLayers([layer])
settings.setBackgroundColor(QColor(255, 255, 255))
settings.setOutputSize(QSize(1000, 800))
settings.setDestinationCrs(layer.crs())
extent = layer.extent()
extent.scale(1.05)
settings.setExtent(extent)
job = QgsMapRendererParallelJob(settings)
job.start()
job.waitForFinished()
image = job.renderedImage()
# A legend of the style's own categories, so the picture reads by itself.
painter = QPainter(image)
painter.setFont(QFont("Liberation Sans", 11))
painter.fillRect(10, 10, 250, 24 * len(renderer.categories()) + 10, QColor(255, 255, 255, 230))
for i, cat in enumerate(renderer.categories()):
    y = 20 + 24 * i
    painter.fillRect(20, y, 18, 16, cat.symbol().color())
    painter.setPen(QColor(60, 60, 60))
    painter.drawRect(20, y, 18, 16)
    painter.drawText(46, y + 13, cat.label())
painter.end()
image.save(out)
cells = layer.featureCount()
# Every feature of both layers finds a symbol in its stored style.
checks = []
for name in ("cells", "samples"):
    check = QgsVectorLayer(gpkg + "|layername=" + name, name, "ogr")
    checks.append(check)
    r = check.renderer()
    context = QgsRenderContext()
    r.startRender(context, check.fields())
    missing = 0
    for feature in check.getFeatures():
        context.expressionContext().setFeature(feature)
        missing += r.symbolForFeature(feature, context) is None
    r.stopRender(context)
    assert missing == 0, "%d features of %s have no symbol in the stored style" % (missing, name)
print("rendered %d cells of %s with its stored style into %s; every cell and sample has its symbol" % (cells, gpkg, out))
sys.stdout.flush()
os._exit(0)  # QGIS 3.22's exitQgis() can crash a script at exit; the picture is saved
PY
