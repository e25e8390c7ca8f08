// Czech code page conversion.
