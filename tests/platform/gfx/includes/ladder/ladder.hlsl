// An unrolling ladder: each level doubles the one below it.
#define D1(x) x+x
#define D2(x) D1(D1(x))
#define D3(x) D2(D2(x))
#define D4(x) D3(D3(x))
