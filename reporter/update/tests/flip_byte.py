#!/usr/bin/python3
"""Copies a file with one byte in its middle inverted (a tampered download)."""
import sys

data = bytearray(open(sys.argv[1], "rb").read())
data[len(data) // 2] ^= 0xFF
open(sys.argv[2], "wb").write(data)
