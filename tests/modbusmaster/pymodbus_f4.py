#!/usr/bin/python3
"""A Modbus TCP server written with Debian's pymodbus (python3-pymodbus), holding a handful of
the Watlow F4's registers at unit 1, for the console's own converter to find and drive.

Prints "tcp PORT" once it listens on a free loopback port, then serves until it is killed. Any
register it does not hold is answered with exception 2 (illegal data address), as the
controller answers one it does not have.
"""
import asyncio
import logging
import sys

try:
    from pymodbus.datastore import (ModbusServerContext, ModbusSlaveContext,
                                    ModbusSparseDataBlock)
    from pymodbus.server.async_io import ModbusTcpServer
except ImportError as missing:
    print(f"pymodbus_f4: cannot use Debian's pymodbus ({missing}); scripts/setup-deps installs "
          "python3-pymodbus", file=sys.stderr)
    sys.exit(3)

# Model, serial number, the temperature (75 F), set point 1, its limits (-100 and 1000, as the
# 16-bit words they travel as), the unit (0: Fahrenheit).
REGISTERS = {0: 5270, 1: 42, 2: 1187, 100: 75, 300: 75, 602: 0x10000 - 100, 603: 1000, 901: 0}


# Its own log says every client that leaves and every exception it answers: not news here.
logging.getLogger("pymodbus").setLevel(logging.CRITICAL)


async def serve():
    block = ModbusSparseDataBlock(dict(REGISTERS))
    unit = ModbusSlaveContext(hr=block, ir=block, zero_mode=True)
    server = ModbusTcpServer(ModbusServerContext(slaves={1: unit}, single=False),
                             address=("127.0.0.1", 0))
    serving = asyncio.create_task(server.serve_forever())
    await server.serving
    print(f"tcp {server.server.sockets[0].getsockname()[1]}", flush=True)
    await serving


asyncio.run(serve())
