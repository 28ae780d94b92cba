OziExplorer Track Point File Version 2.1
x
x
x
x
x
1.5
,
1e3,2
  -0.0 , 0.0
nan,inf
