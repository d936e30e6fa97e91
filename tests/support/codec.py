"""The box password codec in Python, for tests and the demo. The alphabet is
read from the C++ source so that it exists in one place only."""
import os
import re

_SOURCE = os.path.join(os.path.dirname(__file__), "..", "..", "boxconfig", "PasswordCodec.cpp")
with open(_SOURCE, encoding="ascii") as _f:
    ALPHABET = re.search(r'PasswordAlphabet\[65\]\s*=\s*"([^"]{64})"', _f.read()).group(1)


def encode_password(plain):
    """Six bits a symbol, first bits first; a short last group takes the
    symbol's high bits."""
    data = plain.encode("latin-1") if isinstance(plain, str) else bytes(plain)
    bits = "".join(f"{b:08b}" for b in data)
    bits += "0" * (-len(bits) % 6)
    return "".join(ALPHABET[int(bits[i:i + 6], 2)] for i in range(0, len(bits), 6))
