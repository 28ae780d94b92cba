OziExplorer Track Point File Version 2.1
WGS 84
Altitude is in Feet
Reserved 3
0,2,255,t,0,0,2,0
3
 10.0, 20.0,1,0,0,,
10.0001,20.0001,0
-80.5,-179.9,0
