#!/usr/bin/env bash
# Starts the instrument. Until the main window lands this measures the built-in demo adaptor
# headless and prints its readings.
set -euo pipefail
exe="$1"
exec "$exe" --measure --demo --buffers 20
