"""Mivora's art generator, split by what it draws and what it writes; tools/make_art.py runs it."""
