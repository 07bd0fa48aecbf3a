# -*- coding: utf-8 -*-
# Copyright (c) 2026 The Access Point Management authors
# MIT License (see LICENSE)
"""The options of the modules that run apctl on the managed host: its networks and the program."""

from __future__ import absolute_import, division, print_function
__metaclass__ = type


class ModuleDocFragment(object):
    DOCUMENTATION = r'''
options:
  interfaces:
    description:
      - Use only the addresses of these network interfaces of the managed host (all usable ones
        when empty).
    type: list
    elements: str
    default: []
  parallel:
    description: Ask every local network at the same time in each discovery.
    type: bool
    default: false
  apctl_path:
    description: The apctl program on the managed host.
    type: str
    default: apctl
'''
