import sys
open(sys.argv[2], 'wb').close()
