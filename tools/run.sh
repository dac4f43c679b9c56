#!/usr/bin/env bash
# Builds Ventrolla and runs it. Until the application window exists this runs the test suite.
set -euo pipefail
src="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
exec "$src/tools/run-tests.sh"
